#include "stitching/RenderMasks.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "image/ParallelFor.h"

namespace stitch {

namespace {

// One tent factor: 1 - |v - half| / half; a zero half (a one-pixel side) weighs 1.
double TentFactor(int v, int half) { return half > 0 ? 1.0 - std::abs(v - half) / static_cast<double>(half) : 1.0; }

// The outermost values of an eroded row or column: these windows reach the zeroed ring.
constexpr int kErodedEdge = 3;

// Pairwise, with no list to walk: loops of it become byte-wise vector minima.
inline uint8_t Min5(uint8_t a, uint8_t b, uint8_t c, uint8_t d, uint8_t e) {
    return std::min(std::min(std::min(a, b), std::min(c, d)), e);
}

// Each of out[3 .. n-4] the minimum of the five values of `in` centred on it; the three at
// either end become 0.
void MinimumOfFive(const uint8_t* in, uint8_t* out, int n) {
    for (int x = 0; x < std::min(n, kErodedEdge); ++x)
        out[x] = 0;
    for (int x = kErodedEdge; x < n - kErodedEdge; ++x)
        out[x] = Min5(in[x - 2], in[x - 1], in[x], in[x + 1], in[x + 2]);
    for (int x = std::max(n - kErodedEdge, kErodedEdge); x < n; ++x)
        out[x] = 0;
}

}  // namespace

TentWeights::TentWeights(int w, int h)
    : columns(static_cast<size_t>(std::max(w, 0))), rows(static_cast<size_t>(std::max(h, 0))) {
    for (int x = 0; x < w; ++x)
        columns[static_cast<size_t>(x)] = TentFactor(x, w / 2);
    for (int y = 0; y < h; ++y)
        rows[static_cast<size_t>(y)] = TentFactor(y, h / 2);
}

void TentWeight(int w, int h, ImgFLOAT& T) {
    T.Resize(w, h);
    const TentWeights tent(w, h);
    for (int y = 0; y < h; ++y) {
        float* row = T.Row(y);
        for (int x = 0; x < w; ++x)
            row[x] = tent.At(x, y);
    }
}

void ClearSeamMaskWhereEarlierWins(ImgUCHAR& S, const TentWeights& newTent, const TentWeights& earlierTent,
                                   const WorkingRowMap& mapRow) {
    int w = S.width;
    double fw = earlierTent.Width(), fh = earlierTent.Height();
    ParallelRows(RowBands(S.height), [&](int, int begin, int end) {
        std::vector<double> xs(static_cast<size_t>(w)), ys(static_cast<size_t>(w));
        for (int i = begin; i < end; ++i) {
            mapRow(i, xs.data(), ys.data());
            uint8_t* s = S.Row(i);
            for (int j = 0; j < w; ++j) {
                double x = xs[j], y = ys[j];
                // 0 < trunc(x) < fw - 1, written so that non-finite values fail too.
                if (!(x >= 1.0 && x < fw - 1.0 && y >= 1.0 && y < fh - 1.0))
                    continue;
                int k = static_cast<int>(x), l = static_cast<int>(y);
                if (EarlierImageKeeps(earlierTent.At(k, l), newTent.At(j, i)))
                    s[j] = 0;
            }
        }
    });
}

// Two 3 x 3 minimum passes are one 5 x 5 pass, and the ring set to 0 lies in the window of
// every pixel within two of it: so the three outermost rows and columns on each side become
// 0, and every other pixel takes the minimum of its 5 x 5 neighbourhood (which the ring does
// not reach). Done as five-wide minima along the rows, then down the columns.
void ErodeCoverage(ImgUCHAR& C) {
    const int w = C.width, h = C.height;
    if (w <= 0 || h <= 0)
        return;
    ImgUCHAR across(w, h);
    for (int y = 0; y < h; ++y)
        MinimumOfFive(C.Row(y), across.Row(y), w);
    for (int y = 0; y < h; ++y) {
        uint8_t* out = C.Row(y);
        if (y < kErodedEdge || y >= h - kErodedEdge) {
            std::fill(out, out + w, uint8_t(0));
            continue;
        }
        const uint8_t* r0 = across.Row(y - 2);
        const uint8_t* r1 = across.Row(y - 1);
        const uint8_t* r2 = across.Row(y);
        const uint8_t* r3 = across.Row(y + 1);
        const uint8_t* r4 = across.Row(y + 2);
        for (int x = 0; x < w; ++x)
            out[x] = Min5(r0[x], r1[x], r2[x], r3[x], r4[x]);
    }
}

void PasteCovered(const ImgRGBSHORT& R, const ImgUCHAR& C, ImgRGBSHORT& P, int left, int top) {
    int y0 = std::max(0, -top), y1 = std::min(R.height, P.height - top);
    int x0 = std::max(0, -left), x1 = std::min(R.width, P.width - left);
    for (int y = y0; y < y1; ++y) {
        const RgbSHORT* r = R.Row(y);
        const uint8_t* c = C.Row(y);
        RgbSHORT* p = P.Row(y + top) + left;
        for (int x = x0; x < x1; ++x)
            if (c[x])
                p[x] = r[x];
    }
}

}  // namespace stitch
