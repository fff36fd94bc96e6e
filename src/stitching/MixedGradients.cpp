#include "stitching/MixedGradients.h"

namespace stitch {

void MixedDivergence(const ImgFLOAT& a, const ImgFLOAT& b, const ImgFLOAT& E, SineGrid& G) {
    int w = a.width, h = a.height;
    auto gx = [&](int y, int x) {
        const float* ar = a.Row(y);
        const float* br = b.Row(y);
        float e = E.Row(y)[x];
        return (br[x + 1] - br[x]) * (1 - e) + (ar[x + 1] - ar[x]) * e;
    };
    auto gy = [&](int y, int x) {
        float e = E.Row(y)[x];
        return (a.Row(y + 1)[x] - a.Row(y)[x]) * e + (b.Row(y + 1)[x] - b.Row(y)[x]) * (1 - e);
    };
    for (int y = 1; y < h - 1; ++y) {
        float* out = G.Row(y);
        for (int x = 1; x < w - 1; ++x)
            out[x] = gx(y, x) - gx(y, x - 1) + gy(y, x) - gy(y - 1, x);
    }
}

}  // namespace stitch
