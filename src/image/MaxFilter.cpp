#include "image/MaxFilter.h"

#include <algorithm>

void MaxFilter(const ImgFLOAT& source, ImgFLOAT& result, int windowWidth, int windowHeight) {
    if (windowWidth % 2 == 0)
        --windowWidth;
    if (windowHeight % 2 == 0)
        --windowHeight;
    if (windowWidth < 3 || windowHeight < 3 || !source.HasPixels())
        return;
    const int W = source.width, H = source.height, hx = windowWidth / 2, hy = windowHeight / 2;
    ImgFLOAT rows(W, H);
    for (int y = 0; y < H; ++y) {
        const float* in = source.Row(y);
        float* out = rows.Row(y);
        for (int x = 0; x < W; ++x) {
            int a = std::max(0, x - hx), b = std::min(W - 1, x + hx);
            float m = in[a];
            for (int k = a + 1; k <= b; ++k)
                m = std::max(m, in[k]);
            out[x] = m;
        }
    }
    result.Resize(W, H);
    for (int y = 0; y < H; ++y) {
        int a = std::max(0, y - hy), b = std::min(H - 1, y + hy);
        float* out = result.Row(y);
        std::copy(rows.Row(a), rows.Row(a) + W, out);
        // Whole rows at a time: the compiler runs this contiguous maximum on vectors.
        for (int k = a + 1; k <= b; ++k) {
            const float* in = rows.Row(k);
            for (int x = 0; x < W; ++x)
                out[x] = std::max(out[x], in[x]);
        }
    }
}
