#include "movie/CylinderView.h"

#include "image/ParallelFor.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace {

// The source of every pixel of one output row, as continuous image positions of pixel
// centres: sx may lie anywhere (wrapped or rejected by the sampler), sy is rejected off the image.
struct RowSampler {
    const ImgRGB& image;
    bool wraps;
    float maxX, maxY;  // positions beyond these (or below -0.5) are off the image

    void Sample(Rgb* out, float sx, float sy) const {
        const int w = image.width, h = image.height;
        if (sy < -0.5f || sy > maxY || (!wraps && (sx < -0.5f || sx > maxX))) {
            *out = Rgb{0, 0, 0};
            return;
        }
        float fx0 = std::floor(sx), fy0 = std::floor(sy);
        float fx = sx - fx0, fy = sy - fy0;
        int x0 = static_cast<int>(fx0), y0 = static_cast<int>(fy0);
        int x1 = x0 + 1, y1 = y0 + 1;
        if (wraps) {
            x0 %= w;
            if (x0 < 0)
                x0 += w;
            x1 = x0 + 1 == w ? 0 : x0 + 1;
        } else {
            x0 = x0 < 0 ? 0 : (x0 >= w ? w - 1 : x0);
            x1 = x1 < 0 ? 0 : (x1 >= w ? w - 1 : x1);
        }
        y0 = y0 < 0 ? 0 : (y0 >= h ? h - 1 : y0);
        y1 = y1 < 0 ? 0 : (y1 >= h ? h - 1 : y1);
        const Rgb* r0 = image.Row(y0);
        const Rgb* r1 = image.Row(y1);
        const Rgb &a = r0[x0], &b = r0[x1], &c = r1[x0], &d = r1[x1];
        float wa = (1 - fx) * (1 - fy), wb = fx * (1 - fy), wc = (1 - fx) * fy, wd = fx * fy;
        out->b = static_cast<uint8_t>(wa * a.b + wb * b.b + wc * c.b + wd * d.b + 0.5f);
        out->g = static_cast<uint8_t>(wa * a.g + wb * b.g + wc * c.g + wd * d.g + 0.5f);
        out->r = static_cast<uint8_t>(wa * a.r + wb * b.r + wc * c.r + wd * d.r + 0.5f);
    }
};

}  // namespace

void RenderCylinderView(const ImgRGB& panorama, const Cylinder& cyl, const ViewAngles& view, ImgRGB& out) {
    const int w = out.width, h = out.height;
    if (w <= 0 || h <= 0 || !panorama.HasPixels())
        return;
    const double focal = (h / 2.0) / std::tan(view.fov * kDegree / 2.0);
    const double range = cyl.maxPan - cyl.minPan;
    // Image x of the view's centre (pan grows to the left, so the image runs from maxPan at its
    // left edge to minPan at its right edge); positions below are pixel-centre coordinates.
    const double centreX = (cyl.maxPan - view.pan) / range * cyl.width - 0.5;
    const double radius = cyl.radius, horizon = cyl.horizon - 0.5;
    RowSampler sampler{panorama, cyl.wraps, float(panorama.width - 0.5), float(panorama.height - 0.5)};

    std::vector<float> u(w);
    for (int i = 0; i < w; ++i)
        u[i] = static_cast<float>(i + 0.5 - w / 2.0);

    // Rows are drawn in bands on all cores; each band's pixels depend on nothing else.
    const int bands = std::min(h, 8);
    auto band = [&](int b, const auto& drawRow) {
        for (int j = h * b / bands; j < h * (b + 1) / bands; ++j)
            drawRow(j, out.Row(j));
    };
    if (view.tilt == 0.0) {
        // Level views: the pan offset and the vertical scale depend on the column only.
        std::vector<float> sx(w), scale(w);
        for (int i = 0; i < w; ++i) {
            sx[i] = static_cast<float>(centreX + radius * std::atan(u[i] / focal));
            scale[i] = static_cast<float>(radius / std::sqrt(double(u[i]) * u[i] + focal * focal));
        }
        auto drawRow = [&](int j, Rgb* row) {
            const float v = static_cast<float>(j + 0.5 - h / 2.0);
            for (int i = 0; i < w; ++i)
                sampler.Sample(row + i, sx[i], static_cast<float>(horizon) + v * scale[i]);
        };
        ParallelFor(bands, [&](int b) { band(b, drawRow); });
        return;
    }
    const double cosT = std::cos(view.tilt * kDegree), sinT = std::sin(view.tilt * kDegree);
    // The source position is worked out exactly every kStep columns and interpolated in
    // between: over a few pixels the mapping is straight to far below a hundredth of a pixel.
    constexpr int kStep = 8;
    auto drawRow = [&](int j, Rgb* row) {
        const double v = j + 0.5 - h / 2.0;
        // The ray through (u, v): right * u + up * (-v) + forward * f, with the camera tilted up
        // by the tilt angle about its horizontal axis.
        const double y = -v * cosT + focal * sinT;
        const double z = v * sinT + focal * cosT;
        auto source = [&](int i, double* sx, double* sy) {
            const double x = u[i];
            *sx = centreX + radius * std::atan2(x, z);
            *sy = horizon - radius * y / std::sqrt(x * x + z * z);
        };
        double ax, ay, bx, by;
        source(0, &ax, &ay);
        for (int i0 = 0; i0 < w; i0 += kStep) {
            const int i1 = std::min(w - 1, i0 + kStep);
            source(i1, &bx, &by);
            const double span = std::max(1, i1 - i0);
            const int end = i1 == w - 1 ? w : i1;
            for (int i = i0; i < end; ++i) {
                const double t = (i - i0) / span;
                sampler.Sample(row + i, static_cast<float>(ax + (bx - ax) * t), static_cast<float>(ay + (by - ay) * t));
            }
            ax = bx;
            ay = by;
        }
    };
    ParallelFor(bands, [&](int b) { band(b, drawRow); });
}
