#include "stitching/PreviewRenderer.h"

#include <algorithm>
#include <cmath>

#include "image/BilinearSample.h"

void RenderPreviewImage(const ImgRGB& source, const InverseMapper& mapper, const RectD& rect, ImgRGBSHORT& work) {
    const int w = source.width, h = source.height;
    // Columns and rows from the truncated left and top to the right and bottom edges, both
    // inclusive, within the work image.
    const int u0 = std::max(0, static_cast<int>(rect.left)), v0 = std::max(0, static_cast<int>(rect.top));
    const int u1 = std::min(work.width - 1, static_cast<int>(rect.Right()));
    const int v1 = std::min(work.height - 1, static_cast<int>(rect.Bottom()));
    for (int v = v0; v <= v1; ++v) {
        RgbSHORT* out = work.Row(v);
        for (int u = u0; u <= u1; ++u) {
            double x, y;
            if (!mapper.Source(u, v, &x, &y) || !(x > 0 && x < w - 1 && y > 0 && y < h - 1))
                continue;
            const int i = static_cast<int>(x), j = static_cast<int>(y);
            if (i <= 0 || j <= 0)
                continue;
            Rgb sample;
            BilinearSample(source.Row(j), source.Row(j + 1), &sample, x, y, i, j);
            out[u].b = sample.b;
            out[u].g = sample.g;
            out[u].r = sample.r;
        }
    }
}
