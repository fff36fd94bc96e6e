#include "stitching/PlanarProjection.h"

#include <algorithm>
#include <cmath>

#include "stitching/Rotations.h"

PointD PlanarProjection::ToSurface(const Camera& camera, double x, double y) const {
    return MapHomogeneous(camera.toPanorama, x, y);
}

PointD PlanarProjection::FromSurface(const Camera& camera, double a, double b) const {
    return MapHomogeneous(camera.fromPanorama, a, b);
}

PointD PlanarProjection::ForwardMap(const Camera& camera, const CMatrix&, double x, double y) const {
    return MapHomogeneous(camera.toPanorama, x, y);
}

PointD PlanarProjection::InverseMap(const Camera& camera, const CMatrix&, double u, double v) const {
    return MapHomogeneous(camera.fromPanorama, u, v);
}

InverseMapping PlanarProjection::Mapping(const Camera& camera, const CMatrix& panoramaTransformInverse) const {
    InverseMapping mapping = Projection::Mapping(camera, panoramaTransformInverse);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            mapping.m[3 * i + j] = camera.fromPanorama(i, j);
    return mapping;
}

bool PlanarProjection::SourcePixel(const InverseMapping& mapping, double u, double v, double* x, double* y) const {
    const double* m = mapping.m;
    const double w = m[6] * u + m[7] * v + m[8];
    const double a = (m[0] * u + m[1] * v + m[2]) / w, b = (m[3] * u + m[4] * v + m[5]) / w;
    *x = a;
    *y = b;
    return w > 0 && std::isfinite(a) && std::isfinite(b);
}

void PlanarProjection::SourceRow(const InverseMapping& mapping, int u0, int v, int count, double* xs, double* ys,
                                 bool* ok) const {
    for (int j = 0; j < count; ++j)
        ok[j] = SourcePixel(mapping, u0 + j, v, &xs[j], &ys[j]);
}

void PlanarProjection::PrepareCameras(std::vector<Camera>& cameras, double verticalCameraRotation) const {
    if (cameras.empty())
        return;
    auto [lo, hi] = std::minmax_element(cameras.begin(), cameras.end(),
                                        [](const Camera& a, const Camera& b) { return a.lonOffset < b.lonOffset; });
    const double middle = (lo->lonOffset + hi->lonOffset) / 2;
    CMatrix view = Rx(verticalCameraRotation) * Ry(-middle);
    CMatrix viewTransposed = view.Transpose();
    const CMatrix K0 = cameras[0].K;
    const CMatrix K0Inverse = cameras[0].KInverse;
    for (Camera& camera : cameras) {
        camera.toPanorama = K0 * view * camera.rotation * camera.KInverse;
        camera.fromPanorama = camera.K * camera.rotationTransposed * viewTransposed * K0Inverse;
    }
}
