#include "stitching/MixedGradients.h"

#include <vector>

namespace stitch {

namespace {

// The mixed horizontal gradients of one row, from x = 0 to w - 2.
void HorizontalGradients(const float* __restrict a, const float* __restrict b, const float* __restrict e, int w,
                         float* __restrict out) {
    for (int x = 0; x < w - 1; ++x)
        out[x] = (b[x + 1] - b[x]) * (1 - e[x]) + (a[x + 1] - a[x]) * e[x];
}

// The mixed vertical gradients between row y and row y + 1.
void VerticalGradients(const float* __restrict a0, const float* __restrict a1, const float* __restrict b0,
                       const float* __restrict b1, const float* __restrict e, int w, float* __restrict out) {
    for (int x = 0; x < w; ++x)
        out[x] = (a1[x] - a0[x]) * e[x] + (b1[x] - b0[x]) * (1 - e[x]);
}

}  // namespace

void MixedDivergence(const ImgFLOAT& a, const ImgFLOAT& b, const ImgFLOAT& E, SineGrid& G) {
    const int w = a.width, h = a.height;
    if (w < 3 || h < 3)
        return;
    // The vertical gradients above and below the current row; each row's is made once.
    std::vector<float> above(static_cast<size_t>(w)), below(static_cast<size_t>(w)), across(static_cast<size_t>(w));
    VerticalGradients(a.Row(0), a.Row(1), b.Row(0), b.Row(1), E.Row(0), w, above.data());
    for (int y = 1; y < h - 1; ++y) {
        VerticalGradients(a.Row(y), a.Row(y + 1), b.Row(y), b.Row(y + 1), E.Row(y), w, below.data());
        HorizontalGradients(a.Row(y), b.Row(y), E.Row(y), w, across.data());
        const float* __restrict gx = across.data();
        const float* __restrict up = above.data();
        const float* __restrict down = below.data();
        float* __restrict out = G.Row(y);
        for (int x = 1; x < w - 1; ++x)
            out[x] = gx[x] - gx[x - 1] + down[x] - up[x];
        above.swap(below);
    }
}

}  // namespace stitch
