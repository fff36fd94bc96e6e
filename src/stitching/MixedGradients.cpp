#include "stitching/MixedGradients.h"

#include <algorithm>
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

// The divergence of the mixed gradients, with a's and b's rows from rowA(y) and rowB(y); each
// row is asked for while the row above it is still in use, never before.
template <class RowsA, class RowsB>
void Divergence(int w, int h, RowsA rowA, RowsB rowB, const ImgFLOAT& E, SineGrid& G) {
    // The vertical gradients above and below the current row; each row's is made once.
    std::vector<float> above(static_cast<size_t>(w)), below(static_cast<size_t>(w)), across(static_cast<size_t>(w));
    const float* a0 = rowA(0);
    const float* b0 = rowB(0);
    const float* a1 = rowA(1);
    const float* b1 = rowB(1);
    VerticalGradients(a0, a1, b0, b1, E.Row(0), w, above.data());
    for (int y = 1; y < h - 1; ++y) {
        a0 = a1;
        b0 = b1;
        a1 = rowA(y + 1);
        b1 = rowB(y + 1);
        VerticalGradients(a0, a1, b0, b1, E.Row(y), w, below.data());
        HorizontalGradients(a0, b0, E.Row(y), w, across.data());
        const float* __restrict gx = across.data();
        const float* __restrict up = above.data();
        const float* __restrict down = below.data();
        float* __restrict out = G.Row(y);
        for (int x = 1; x < w - 1; ++x)
            out[x] = gx[x] - gx[x - 1] + down[x] - up[x];
        above.swap(below);
    }
}

// Channel k of a 16-bit image as float rows with the two outermost pixel rings at 0, made one
// row at a time into two alternating buffers (the divergence holds at most two rows).
class RingClearedRows {
public:
    RingClearedRows(const ImgRGBSHORT& image, int k)
        : image_(image), k_(k), rows_{std::vector<float>(static_cast<size_t>(image.width)),
                                      std::vector<float>(static_cast<size_t>(image.width))} {}

    const float* operator()(int y) {
        float* __restrict o = rows_[static_cast<size_t>(y & 1)].data();
        RingClearedChannelRow(image_, k_, y, o);
        return o;
    }

private:
    const ImgRGBSHORT& image_;
    int k_;
    std::vector<float> rows_[2];
};

}  // namespace

void RingClearedChannelRow(const ImgRGBSHORT& image, int k, int y, float* __restrict out) {
    const int w = image.width, h = image.height;
    if (y < 2 || y >= h - 2 || w <= 4) {
        std::fill(out, out + w, 0.0f);
        return;
    }
    const int16_t* __restrict in = &image.Row(y)->b + k;
    out[0] = out[1] = out[w - 2] = out[w - 1] = 0.0f;
    for (int x = 2; x < w - 2; ++x)
        out[x] = static_cast<float>(in[3 * x]);
}

void MixedDivergence(const ImgFLOAT& a, const ImgFLOAT& b, const ImgFLOAT& E, SineGrid& G) {
    const int w = a.width, h = a.height;
    if (w < 3 || h < 3)
        return;
    Divergence(
        w, h, [&](int y) { return a.Row(y); }, [&](int y) { return b.Row(y); }, E, G);
}

void MixedDivergence(const ImgRGBSHORT& A, const ImgRGBSHORT& B, int k, const ImgFLOAT& E, SineGrid& G) {
    const int w = A.width, h = A.height;
    if (w < 3 || h < 3)
        return;
    Divergence(w, h, RingClearedRows(A, k), RingClearedRows(B, k), E, G);
}

}  // namespace stitch
