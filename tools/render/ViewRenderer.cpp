#include "render/ViewRenderer.h"

#include <QString>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "image/ImageFile.h"
#include "image/ParallelFor.h"

namespace render {

namespace {

constexpr double kDeg = std::numbers::pi / 180;
// Texels per pixel beyond a whole number that one ray per texel still samples well enough: a
// camera of f = 640 on the 4096-texel world (1.02 texels per pixel) keeps one ray.
constexpr double kAliasingTolerance = 0.1;

}  // namespace

Mat3 WorldFromCamera(const ViewSpec& v) {
    double cy = std::cos(v.yaw * kDeg), sy = std::sin(v.yaw * kDeg);
    double cp = std::cos(v.pitch * kDeg), sp = std::sin(v.pitch * kDeg);
    double cr = std::cos(v.roll * kDeg), sr = std::sin(v.roll * kDeg);
    Mat3 yaw = {cy, 0, sy, 0, 1, 0, -sy, 0, cy};    // forward turns toward +x (east)
    Mat3 pitch = {1, 0, 0, 0, cp, -sp, 0, sp, cp};  // forward turns toward -y (up)
    Mat3 roll = {cr, -sr, 0, sr, cr, 0, 0, 0, 1};
    return Multiply(yaw, Multiply(pitch, roll));
}

Mat3 RelativeRotation(const ViewSpec& a, const ViewSpec& b) {
    return Multiply(Transposed(WorldFromCamera(b)), WorldFromCamera(a));
}

bool World::Load(const std::string& path) { return LoadImageFile(pixels, 0, QString::fromStdString(path)); }

void World::Sample(const Vec3& d, double out[3]) const {
    const int W = pixels.width, H = pixels.height;
    double lon = std::atan2(d.x, d.z);
    double lat = std::atan2(-d.y, std::hypot(d.x, d.z));
    double u = (lon + std::numbers::pi) / (2 * std::numbers::pi) * W - 0.5;
    double v = (std::numbers::pi / 2 - lat) / std::numbers::pi * H - 0.5;
    v = std::clamp(v, 0.0, H - 1.0);
    int u0 = static_cast<int>(std::floor(u)), v0 = static_cast<int>(std::floor(v));
    double fu = u - u0, fv = v - v0;
    int v1 = std::min(v0 + 1, H - 1);
    int ua = ((u0 % W) + W) % W, ub = (ua + 1) % W;
    const Rgb& p00 = pixels.At(ua, v0);
    const Rgb& p10 = pixels.At(ub, v0);
    const Rgb& p01 = pixels.At(ua, v1);
    const Rgb& p11 = pixels.At(ub, v1);
    auto blend = [&](double a, double b, double c, double e) {
        return (a * (1 - fu) + b * fu) * (1 - fv) + (c * (1 - fu) + e * fu) * fv;
    };
    out[0] = blend(p00.r, p10.r, p01.r, p11.r);
    out[1] = blend(p00.g, p10.g, p01.g, p11.g);
    out[2] = blend(p00.b, p10.b, p01.b, p11.b);
}

int RaysPerSide(double texels) {
    if (!(texels > kAliasingTolerance))
        return 1;
    return static_cast<int>(std::min(4.0, std::ceil(texels - kAliasingTolerance)));
}

namespace {

// Rows begin .. end - 1 of view, each pixel the average of n x n rays over its area.
void RenderRows(const World& world, const ViewSpec& view, const Mat3& R, int n, int begin, int end, ImgRGB& img) {
    const double cx = view.width / 2.0, cy = view.height / 2.0;
    const double corner2 = cx * cx + cy * cy;
    for (int y = begin; y < end; ++y) {
        Rgb* row = img.Row(y);
        for (int x = 0; x < view.width; ++x) {
            double rgb[3] = {0, 0, 0};
            for (int j = 0; j < n; ++j)
                for (int i = 0; i < n; ++i) {
                    const double sx = x + (i + 0.5) / n - 0.5, sy = y + (j + 0.5) / n - 0.5;
                    Vec3 ray = Apply(R, {(sx - cx) / view.focal, (sy - cy) / view.focal, 1});
                    double sample[3];
                    world.Sample(ray, sample);
                    for (int c = 0; c < 3; ++c)
                        rgb[c] += sample[c];
                }
            for (double& c : rgb)
                c /= n * n;
            double r2 = ((x - cx) * (x - cx) + (y - cy) * (y - cy)) / corner2;
            double scale = view.gain * (1 - view.vignetting * r2);
            auto toByte = [&](double c, double balance) {
                return static_cast<uint8_t>(std::clamp(std::lround(c * scale * balance + view.offset), 0L, 255L));
            };
            row[x] = Rgb{toByte(rgb[2], view.whiteBalance[2]), toByte(rgb[1], view.whiteBalance[1]),
                         toByte(rgb[0], view.whiteBalance[0])};
        }
    }
}

}  // namespace

ImgRGB RenderView(const World& world, const ViewSpec& view) {
    ImgRGB img(view.width, view.height);
    const Mat3 R = WorldFromCamera(view);
    // At the image centre a pixel spans 1 / focal radians; the world has Width / 2 pi texels per
    // radian along its equator.
    const int n = RaysPerSide(world.Width() / (2 * std::numbers::pi * view.focal));
    ParallelRows(RowBands(view.height),
                 [&](int, int begin, int end) { RenderRows(world, view, R, n, begin, end, img); });
    return img;
}

bool MapBetweenViews(const ViewSpec& a, const ViewSpec& b, double x, double y, double* bx, double* by) {
    Vec3 ray = Apply(RelativeRotation(a, b), {(x - a.width / 2.0) / a.focal, (y - a.height / 2.0) / a.focal, 1});
    if (ray.z <= 1e-9)
        return false;
    *bx = b.width / 2.0 + b.focal * ray.x / ray.z;
    *by = b.height / 2.0 + b.focal * ray.y / ray.z;
    return true;
}

}  // namespace render
