#include "stitching/Contrast.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "image/ParallelFor.h"
#include "stitching/ChannelRange.h"
#include "stitching/EmptySample.h"

namespace stitch {

namespace {

// The smallest and largest channel value over the non-empty pixels; false when there are none.
bool ChannelRange(const ImgRGBSHORT& P, int& lo, int& hi) {
    lo = 32767;
    hi = -32768;
    ChannelRangeOf(P, lo, hi);
    return lo <= hi;
}

// f on every non-empty pixel, bands of rows on all cores.
template <class F>
void ForEachNonEmpty(ImgRGBSHORT& P, F f) {
    ParallelRows(RowBands(P.height), [&](int, int begin, int end) {
        for (int y = begin; y < end; ++y) {
            RgbSHORT* row = P.Row(y);
            for (int x = 0; x < P.width; ++x)
                if (!IsEmptySample(row[x]))
                    f(row[x]);
        }
    });
}

// lo and the scale of the stretch from the luminance histogram of M bins over [0, M].
struct Stretch {
    double lo = 0;
    double scale = 1;
};

Stretch StretchFromHistogram(const ImgRGBSHORT& P, int M) {
    Stretch s;
    if (M < 2)
        return s;  // one bin: no width to place the ends in
    double binScale = (M - 1) / static_cast<double>(M);
    // Whole counts per band of rows, summed exactly whatever the bands.
    const RowBands bands(P.height);
    std::vector<std::vector<long long>> counts(static_cast<size_t>(bands.count));
    ParallelRows(bands, [&](int band, int begin, int end) {
        std::vector<long long>& count = counts[static_cast<size_t>(band)];
        count.assign(static_cast<size_t>(M), 0);
        for (int y = begin; y < end; ++y) {
            const RgbSHORT* row = P.Row(y);
            for (int x = 0; x < P.width; ++x) {
                int bin = 0;  // empty pixels count as the darkest
                if (!IsEmptySample(row[x])) {
                    int L = (16 * row[x].g + 5 * row[x].r + 11 * row[x].b) / 32;
                    bin = static_cast<int>(std::clamp(std::trunc(L * binScale + 0.5), 0.0, M - 1.0));
                }
                ++count[static_cast<size_t>(bin)];
            }
        }
    });
    std::vector<double> cumulative(static_cast<size_t>(M), 0.0);
    for (const std::vector<long long>& count : counts)
        for (size_t bin = 0; bin < count.size(); ++bin)
            cumulative[bin] += static_cast<double>(count[bin]);
    double total = static_cast<double>(P.width) * P.height;
    double sum = 0;
    for (double& c : cumulative) {
        sum += c;
        c = sum / total;
    }
    double epsilon = 0.2 / M;
    int low = M - 1;
    for (int i = 0; i < M; ++i)
        if (cumulative[i] >= cumulative[0] + epsilon) {
            low = i;
            break;
        }
    int high = 0;
    for (int i = M - 1; i >= 0; --i)
        if (cumulative[i] <= 1 - epsilon) {
            high = i;
            break;
        }
    double lo = low * M / (M - 1.0), hi = high * M / (M - 1.0);
    // All the mass in one bin leaves nothing to stretch (and would turn the image over).
    if (hi > lo) {
        s.lo = lo;
        s.scale = M / (hi - lo);
    }
    return s;
}

short StretchChannel(short v, const Stretch& s, int M) {
    double t = std::trunc((v - s.lo) * s.scale + 0.5);
    return static_cast<short>(std::clamp(t, 0.0, static_cast<double>(M)));
}

void ApplyGamma(RgbSHORT& p, const Stretch& s, int M, const std::vector<double>& table) {
    double c[3] = {static_cast<double>(p.b), static_cast<double>(p.g), static_cast<double>(p.r)};
    for (double& v : c)
        v = std::clamp((v - s.lo) * s.scale, 0.0, static_cast<double>(M));
    double t = 0.299 * c[0] + 0.587 * c[1] + 0.114 * c[2];
    // A black pixel has no hue to keep; it stays black.
    double r = t > 0 ? table[std::min(static_cast<int>(t + 0.5), M)] / t : 0.0;
    short out[3];
    for (int k = 0; k < 3; ++k)
        out[k] = static_cast<short>(std::trunc(std::clamp(r * c[k] + 0.5, 0.0, static_cast<double>(M)) + 0.5));
    p.b = out[0];
    p.g = out[1];
    p.r = out[2];
}

}  // namespace

int AdjustContrast(ImgRGBSHORT& P) {
    int m, M0;
    if (!ChannelRange(P, m, M0))
        return 0;
    if (M0 - m >= 32768) {
        double span = M0 - m;
        auto rescale = [&](short v) { return static_cast<short>(std::trunc((v - m) * 32767.0 / span + 0.5)); };
        ForEachNonEmpty(P, [&](RgbSHORT& p) {
            p.b = rescale(p.b);
            p.g = rescale(p.g);
            p.r = rescale(p.r);
        });
        return 32767;
    }
    if (m < 0) {
        ForEachNonEmpty(P, [&](RgbSHORT& p) {
            p.b = static_cast<short>(p.b - m);
            p.g = static_cast<short>(p.g - m);
            p.r = static_cast<short>(p.r - m);
        });
        return M0 - m;
    }
    return M0;
}

void StretchContrastAndGamma(ImgRGBSHORT& P, double gamma) {
    int M = AdjustContrast(P);
    if (M <= 0)
        return;
    Stretch s = StretchFromHistogram(P, M);
    if (gamma == 1.0) {
        ForEachNonEmpty(P, [&](RgbSHORT& p) {
            p.b = StretchChannel(p.b, s, M);
            p.g = StretchChannel(p.g, s, M);
            p.r = StretchChannel(p.r, s, M);
        });
        return;
    }
    std::vector<double> table(static_cast<size_t>(M) + 1);
    for (int k = 0; k <= M; ++k)
        table[k] = std::pow(k / static_cast<double>(M), 1.0 / gamma) * M;
    ForEachNonEmpty(P, [&](RgbSHORT& p) { ApplyGamma(p, s, M, table); });
}

}  // namespace stitch
