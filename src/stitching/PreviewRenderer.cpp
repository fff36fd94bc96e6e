#include "stitching/PreviewRenderer.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "image/BilinearSample.h"

void RenderPreviewImage(const ImgRGB& source, const InverseMapper& mapper, const RectD& rect, ImgRGBSHORT& work) {
    RenderPreviewImage(source, mapper, rect, PixelRect{0, 0, work.width, work.height}, work);
}

void RenderPreviewImage(const ImgRGB& source, const InverseMapper& mapper, const RectD& rect, const PixelRect& window,
                        ImgRGBSHORT& work) {
    const int w = source.width, h = source.height;
    // Columns and rows from the truncated left and top to the right and bottom edges, both
    // inclusive, within the window.
    const int u0 = std::max(window.left, static_cast<int>(rect.left));
    const int v0 = std::max(window.top, static_cast<int>(rect.top));
    const int u1 = std::min(window.Right() - 1, static_cast<int>(rect.Right()));
    const int v1 = std::min(window.Bottom() - 1, static_cast<int>(rect.Bottom()));
    if (u1 < u0)
        return;
    const int count = u1 - u0 + 1;
    std::vector<double> xs(static_cast<size_t>(count)), ys(static_cast<size_t>(count));
    std::unique_ptr<bool[]> mapped(new bool[static_cast<size_t>(count)]);
    for (int v = v0; v <= v1; ++v) {
        RgbSHORT* out = work.Row(v - window.top);
        mapper.SourceRow(u0, v, count, xs.data(), ys.data(), mapped.get());
        for (int u = u0; u <= u1; ++u) {
            const double x = xs[u - u0], y = ys[u - u0];
            if (!mapped[u - u0] || !(x > 0 && x < w - 1 && y > 0 && y < h - 1))
                continue;
            const int i = static_cast<int>(x), j = static_cast<int>(y);
            if (i <= 0 || j <= 0)
                continue;
            Rgb sample;
            BilinearSample(source.Row(j), source.Row(j + 1), &sample, x, y, i, j);
            RgbSHORT& pixel = out[u - window.left];
            pixel.b = sample.b;
            pixel.g = sample.g;
            pixel.r = sample.r;
        }
    }
}
