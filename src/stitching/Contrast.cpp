#include "stitching/Contrast.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "image/ParallelFor.h"
#include "stitching/ChannelRange.h"
#include "stitching/EmptySample.h"

namespace stitch {

namespace {

// f(values, n) on the channels of every run of pixels holding data, bands of rows on all cores.
template <class F>
void ForEachFilledChannelRun(ImgRGBSHORT& P, F f) {
    ParallelRows(RowBands(P.height), [&](int, int begin, int end) {
        for (int y = begin; y < end; ++y) {
            RgbSHORT* row = P.Row(y);
            ForEachFilledRun(row, P.width,
                             [&](int first, int last) { f(ChannelArray(row + first), 3 * (last - first)); });
        }
    });
}

// f on every pixel holding data, bands of rows on all cores.
template <class F>
void ForEachNonEmpty(ImgRGBSHORT& P, F f) {
    ParallelRows(RowBands(P.height), [&](int, int begin, int end) {
        for (int y = begin; y < end; ++y) {
            RgbSHORT* row = P.Row(y);
            ForEachFilledRun(row, P.width, [&](int first, int last) {
                for (int x = first; x < last; ++x)
                    f(row[x]);
            });
        }
    });
}

// (v - lo) scale rounded and kept within 0 .. M; clamped before the conversion truncates it,
// which for these whole bounds is truncating and then clamping, in a form that vectorises.
void StretchChannels(int16_t* __restrict v, int n, const ContrastStretch& s) {
    const double lo = s.lo, scale = s.scale, M = s.M;
    for (int i = 0; i < n; ++i)
        v[i] = static_cast<int16_t>(static_cast<int>(std::clamp((v[i] - lo) * scale + 0.5, 0.0, M)));
}

void ApplyGamma(RgbSHORT& p, const ContrastStretch& s) {
    const int M = s.M;
    double c[3] = {static_cast<double>(p.b), static_cast<double>(p.g), static_cast<double>(p.r)};
    for (double& v : c)
        v = std::clamp((v - s.lo) * s.scale, 0.0, static_cast<double>(M));
    double t = 0.299 * c[0] + 0.587 * c[1] + 0.114 * c[2];
    // A black pixel has no hue to keep; it stays black.
    double r = t > 0 ? s.table[std::min(static_cast<int>(t + 0.5), M)] / t : 0.0;
    short out[3];
    for (int k = 0; k < 3; ++k)
        out[k] = static_cast<short>(std::trunc(std::clamp(r * c[k] + 0.5, 0.0, static_cast<double>(M)) + 0.5));
    p.b = out[0];
    p.g = out[1];
    p.r = out[2];
}

}  // namespace

ContrastAdjustment PlanContrastAdjustment(int lo, int hi) {
    ContrastAdjustment a;
    if (lo > hi)
        return a;
    a.m = lo;
    if (hi - lo >= 32768) {
        a.kind = ContrastAdjustment::Rescale;
        a.span = hi - lo;
        a.maximum = 32767;
    } else if (lo < 0) {
        a.kind = ContrastAdjustment::Shift;
        a.maximum = hi - lo;
    } else {
        a.maximum = hi;
    }
    return a;
}

void ApplyContrastAdjustment(const ContrastAdjustment& a, ImgRGBSHORT& part) {
    const int m = a.m;
    if (a.kind == ContrastAdjustment::Rescale) {
        auto rescale = [&](short v) { return static_cast<short>(std::trunc((v - m) * 32767.0 / a.span + 0.5)); };
        ForEachNonEmpty(part, [&](RgbSHORT& p) {
            p.b = rescale(p.b);
            p.g = rescale(p.g);
            p.r = rescale(p.r);
        });
    } else if (a.kind == ContrastAdjustment::Shift) {
        ForEachFilledChannelRun(part, [m](int16_t* __restrict v, int n) {
            for (int i = 0; i < n; ++i)
                v[i] = static_cast<int16_t>(v[i] - m);
        });
    }
}

void AddLuminanceHistogram(const ImgRGBSHORT& part, int M, std::vector<long long>& counts) {
    if (M < 2)
        return;
    counts.resize(static_cast<size_t>(M), 0);
    const double binScale = (M - 1) / static_cast<double>(M);
    // Whole counts per band of rows, summed exactly whatever the bands.
    const RowBands bands(part.height);
    std::vector<std::vector<long long>> perBand(static_cast<size_t>(bands.count));
    ParallelRows(bands, [&](int band, int begin, int end) {
        std::vector<long long>& count = perBand[static_cast<size_t>(band)];
        count.assign(static_cast<size_t>(M), 0);
        for (int y = begin; y < end; ++y) {
            const RgbSHORT* row = part.Row(y);
            int filled = 0;
            ForEachFilledRun(row, part.width, [&](int first, int last) {
                for (int x = first; x < last; ++x) {
                    int L = (16 * row[x].g + 5 * row[x].r + 11 * row[x].b) / 32;
                    const int bin = static_cast<int>(std::clamp(std::trunc(L * binScale + 0.5), 0.0, M - 1.0));
                    ++count[static_cast<size_t>(bin)];
                }
                filled += last - first;
            });
            count[0] += part.width - filled;  // empty pixels count as the darkest
        }
    });
    for (const std::vector<long long>& count : perBand)
        for (size_t bin = 0; bin < count.size(); ++bin)
            counts[bin] += count[bin];
}

ContrastStretch PlanContrastStretch(const std::vector<long long>& counts, long long total, int M, double gamma) {
    ContrastStretch s;
    s.M = M;
    s.gamma = gamma;
    if (gamma != 1.0) {
        s.table.resize(static_cast<size_t>(M) + 1);
        for (int k = 0; k <= M; ++k)
            s.table[static_cast<size_t>(k)] = std::pow(k / static_cast<double>(M), 1.0 / gamma) * M;
    }
    if (M < 2 || counts.size() < static_cast<size_t>(M))
        return s;  // one bin: no width to place the ends in
    std::vector<double> cumulative(static_cast<size_t>(M), 0.0);
    double sum = 0;
    for (size_t bin = 0; bin < cumulative.size(); ++bin) {
        sum += static_cast<double>(counts[bin]);
        cumulative[bin] = sum / static_cast<double>(total);
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

void ApplyContrastStretch(const ContrastStretch& s, ImgRGBSHORT& part) {
    if (s.M <= 0)
        return;
    if (s.gamma == 1.0) {
        ForEachFilledChannelRun(part, [&](int16_t* v, int n) { StretchChannels(v, n, s); });
        return;
    }
    ForEachNonEmpty(part, [&](RgbSHORT& p) { ApplyGamma(p, s); });
}

int AdjustContrast(ImgRGBSHORT& P) {
    int lo = 32767, hi = -32768;
    ChannelRangeOf(P, lo, hi);
    const ContrastAdjustment adjustment = PlanContrastAdjustment(lo, hi);
    ApplyContrastAdjustment(adjustment, P);
    return adjustment.maximum;
}

void StretchContrastAndGamma(ImgRGBSHORT& P, double gamma) {
    const int M = AdjustContrast(P);
    if (M <= 0)
        return;
    std::vector<long long> counts;
    AddLuminanceHistogram(P, M, counts);
    const ContrastStretch stretch = PlanContrastStretch(counts, static_cast<long long>(P.width) * P.height, M, gamma);
    ApplyContrastStretch(stretch, P);
}

}  // namespace stitch
