#include "stitching/Projection.h"

#include <cmath>

PointD ProjectionCoordinates(ProjectionType type, const Camera& camera, double x, double y) {
    if (type == ProjectionType::Planar)
        return MapHomogeneous(camera.toPanorama, x, y);
    const double dx = x - camera.principalX, dy = y - camera.principalY, f = camera.focalLength;
    const double* r0 = camera.panoRow0;
    const double* r2 = camera.panoRow2;
    const CMatrix& R = camera.panoRotation;
    double X = r0[0] * dx + r0[1] * dy + r0[2] * f;
    double Y = R(1, 0) * dx + R(1, 1) * dy + R(1, 2) * f;
    double Z = r2[0] * dx + r2[1] * dy + r2[2] * f;
    double rho = std::sqrt(X * X + Z * Z);
    if (type == ProjectionType::Cylindrical)
        return {std::asin(X / rho) + camera.lonOffset, Y / rho};
    // The plain arctangent: the local longitude lies within 90 degrees of the camera's axis.
    return {std::atan(X / Z) + camera.lonOffset, std::atan(Y / rho)};
}

PointD PixelFromProjection(ProjectionType type, const Camera& camera, double a, double b) {
    const double l = a - camera.lonOffset;
    double d[3];
    if (type == ProjectionType::Cylindrical) {
        d[0] = std::sin(l);
        d[1] = b;
        d[2] = std::cos(l);
    } else {
        const double c = std::cos(b);
        d[0] = std::sin(l) * c;
        d[1] = std::sin(b);
        d[2] = std::cos(l) * c;
    }
    // panoRotation^T d: the columns of panoRotation dotted with d.
    const CMatrix& R = camera.panoRotation;
    double X = R(0, 0) * d[0] + R(1, 0) * d[1] + R(2, 0) * d[2];
    double Y = R(0, 1) * d[0] + R(1, 1) * d[1] + R(2, 1) * d[2];
    double Z = R(0, 2) * d[0] + R(1, 2) * d[1] + R(2, 2) * d[2];
    const double f = camera.focalLength;
    return {f * X / Z + camera.principalX, f * Y / Z + camera.principalY};
}

PointD ForwardMap(ProjectionType type, const Camera& camera, const CMatrix& panoramaTransform, double x, double y) {
    if (type == ProjectionType::Planar)
        return MapHomogeneous(camera.toPanorama, x, y);
    PointD p = ProjectionCoordinates(type, camera, x, y);
    return MapHomogeneous(panoramaTransform, p.x, p.y);
}

PointD InverseMap(ProjectionType type, const Camera& camera, const CMatrix& panoramaTransformInverse, double u,
                  double v) {
    if (type == ProjectionType::Planar)
        return MapHomogeneous(camera.fromPanorama, u, v);
    PointD p = MapHomogeneous(panoramaTransformInverse, u, v);
    return PixelFromProjection(type, camera, p.x, p.y);
}
