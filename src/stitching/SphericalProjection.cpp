#include "stitching/SphericalProjection.h"

#include <cmath>

PointD SphericalProjection::ToSurface(const Camera& camera, double x, double y) const {
    double X, Y, Z;
    PanoramaRay(camera, x, y, X, Y, Z);
    const double rho = std::sqrt(X * X + Z * Z);
    // The plain arctangent: the local longitude lies within 90 degrees of the camera's axis.
    return {std::atan(X / Z) + camera.lonOffset, std::atan(Y / rho)};
}

void SphericalProjection::Direction(double l, double b, double d[3]) const {
    const double c = std::cos(b);
    d[0] = std::sin(l) * c;
    d[1] = std::sin(b);
    d[2] = std::cos(l) * c;
}

bool SphericalProjection::SourcePixel(const InverseMapping& mapping, double u, double v, double* x, double* y) const {
    return Source<true>(mapping, u, v, x, y);
}

void SphericalProjection::SourceRow(const InverseMapping& mapping, int u0, int v, int count, double* xs, double* ys,
                                    bool* ok) const {
    Row<true>(mapping, u0, v, count, xs, ys, ok);
}
