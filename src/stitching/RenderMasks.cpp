#include "stitching/RenderMasks.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace stitch {

namespace {

// One tent factor: 1 - |v - half| / half; a zero half (a one-pixel side) weighs 1.
double TentFactor(int v, int half) { return half > 0 ? 1.0 - std::abs(v - half) / static_cast<double>(half) : 1.0; }

// One 3 x 3 minimum filter pass; at the edges over the neighbours inside the mask.
void MinimumFilter3x3(ImgUCHAR& C) {
    int w = C.width, h = C.height;
    ImgUCHAR source(w, h);  // a deep copy also when C is a view
    C.CopyTo(source);
    for (int y = 0; y < h; ++y) {
        int y0 = std::max(y - 1, 0), y1 = std::min(y + 1, h - 1);
        uint8_t* out = C.Row(y);
        for (int x = 0; x < w; ++x) {
            int x0 = std::max(x - 1, 0), x1 = std::min(x + 1, w - 1);
            uint8_t m = source.Row(y0)[x0];
            for (int yy = y0; yy <= y1; ++yy) {
                const uint8_t* in = source.Row(yy);
                for (int xx = x0; xx <= x1; ++xx)
                    m = std::min(m, in[xx]);
            }
            out[x] = m;
        }
    }
}

}  // namespace

void TentWeight(int w, int h, ImgFLOAT& T) {
    T.Resize(w, h);
    int hw = w / 2, hh = h / 2;
    for (int y = 0; y < h; ++y) {
        double fy = TentFactor(y, hh);
        float* row = T.Row(y);
        for (int x = 0; x < w; ++x)
            row[x] = static_cast<float>(fy * TentFactor(x, hw));
    }
}

void ClearSeamMaskWhereEarlierWins(ImgUCHAR& S, const ImgFLOAT& newTent, const ImgFLOAT& earlierTent,
                                   const WorkingRowMap& mapRow) {
    int w = S.width;
    double fw = earlierTent.width, fh = earlierTent.height;
    std::vector<double> xs(static_cast<size_t>(w)), ys(static_cast<size_t>(w));
    for (int i = 0; i < S.height; ++i) {
        mapRow(i, xs.data(), ys.data());
        uint8_t* s = S.Row(i);
        const float* own = newTent.Row(i);
        for (int j = 0; j < w; ++j) {
            double x = xs[j], y = ys[j];
            // 0 < trunc(x) < fw - 1, written so that non-finite values fail too.
            if (!(x >= 1.0 && x < fw - 1.0 && y >= 1.0 && y < fh - 1.0))
                continue;
            int k = static_cast<int>(x), l = static_cast<int>(y);
            if (EarlierImageKeeps(earlierTent.Row(l)[k], own[j]))
                s[j] = 0;
        }
    }
}

void ErodeCoverage(ImgUCHAR& C) {
    int w = C.width, h = C.height;
    if (w <= 0 || h <= 0)
        return;
    for (int y = 0; y < h; ++y) {
        uint8_t* row = C.Row(y);
        if (y == 0 || y == h - 1) {
            std::fill(row, row + w, uint8_t(0));
        } else {
            row[0] = 0;
            row[w - 1] = 0;
        }
    }
    MinimumFilter3x3(C);
    MinimumFilter3x3(C);
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
