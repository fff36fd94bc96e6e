#include "stitching/Projection.h"

#include <array>
#include <cstring>
#include <numbers>

#include "stitching/CylindricalProjection.h"
#include "stitching/PlanarProjection.h"
#include "stitching/SphericalProjection.h"

namespace {

// By code: the registry every lookup goes through, so a new surface is one more entry here.
const Projection* const* Surfaces() {
    static const PlanarProjection planar;
    static const CylindricalProjection cylindrical;
    static const SphericalProjection spherical;
    static const Projection* const surfaces[] = {&planar, &cylindrical, &spherical};
    return surfaces;
}
constexpr int kSurfaceCount = 3;

void ReadMatrix(const CMatrix& M, double* out) {
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            out[3 * i + j] = M(i, j);
}

}  // namespace

PointD Projection::ForwardMap(const Camera& camera, const CMatrix& panoramaTransform, double x, double y) const {
    const PointD p = ToSurface(camera, x, y);
    return MapHomogeneous(panoramaTransform, p.x, p.y);
}

PointD Projection::InverseMap(const Camera& camera, const CMatrix& panoramaTransformInverse, double u, double v) const {
    const PointD p = MapHomogeneous(panoramaTransformInverse, u, v);
    return FromSurface(camera, p.x, p.y);
}

InverseMapping Projection::Mapping(const Camera& camera, const CMatrix& panoramaTransformInverse) const {
    InverseMapping mapping;
    mapping.f = camera.focalLength;
    mapping.cx = camera.principalX;
    mapping.cy = camera.principalY;
    mapping.lon = camera.lonOffset;
    ReadMatrix(panoramaTransformInverse, mapping.m);
    ReadMatrix(camera.panoRotation, mapping.r);
    return mapping;
}

void Projection::PrepareCameras(std::vector<Camera>&, double) const {}

std::vector<PointD> Projection::OutlinePoints(const Camera& camera) const {
    const int w = static_cast<int>(camera.lens.width), h = static_cast<int>(camera.lens.height);
    std::vector<PointD> points;
    if (w < 1 || h < 1)
        return points;
    auto add = [&](int x, int y) { points.push_back(ToSurface(camera, x, y)); };
    for (int x = 0; x < w; ++x)
        add(x, 0);
    for (int y = 1; y < h - 1; ++y)
        add(w - 1, y);
    for (int x = w - 1; x >= 0; --x)
        add(x, h - 1);
    for (int y = h - 2; y >= 1; --y)
        add(0, y);
    add(0, 0);
    return points;
}

int Projection::PoleSeen(const Camera&) const { return 0; }

RectD Projection::Outline(const Camera& camera) const {
    std::vector<PointD> points = OutlinePoints(camera);
    if (points.empty())
        return {0, 0, 10, 10};
    const RectD box = RectD::BoundingBox(points);
    if (const int pole = PoleSeen(camera)) {
        // The border's longitudes wind once round the pole; the latitudes run from the border to
        // the pole.
        const double halfPi = std::numbers::pi / 2;
        const double top = pole < 0 ? -halfPi : box.top, bottom = pole < 0 ? box.Bottom() : halfPi;
        return {camera.lonOffset - std::numbers::pi, top, 2 * std::numbers::pi, bottom - top};
    }
    return box;
}

const Projection* FindProjection(int code) { return code >= 0 && code < kSurfaceCount ? Surfaces()[code] : nullptr; }

const Projection* FindProjection(const char* name) {
    for (int code = 0; code < kSurfaceCount; ++code)
        if (name && std::strcmp(Surfaces()[code]->Name(), name) == 0)
            return Surfaces()[code];
    return nullptr;
}

const Projection& ProjectionOf(ProjectionType type) {
    const Projection* projection = FindProjection(static_cast<int>(type));
    if (!projection)
        throw "Unknown projection";
    return *projection;
}

std::span<const char* const> ProjectionNames() {
    static const std::array<const char*, kSurfaceCount> names = [] {
        std::array<const char*, kSurfaceCount> list{};
        for (int code = 0; code < kSurfaceCount; ++code)
            list[static_cast<size_t>(code)] = Surfaces()[code]->Name();
        return list;
    }();
    return names;
}
