#include "stitching/CylindricalProjection.h"

#include <cmath>

PointD CylindricalProjection::ToSurface(const Camera& camera, double x, double y) const {
    double X, Y, Z;
    PanoramaRay(camera, x, y, X, Y, Z);
    const double rho = std::sqrt(X * X + Z * Z);
    return {std::asin(X / rho) + camera.lonOffset, Y / rho};
}

void CylindricalProjection::Direction(double l, double b, double d[3]) const {
    d[0] = std::sin(l);
    d[1] = b;
    d[2] = std::cos(l);
}

bool CylindricalProjection::SourcePixel(const InverseMapping& mapping, double u, double v, double* x, double* y) const {
    return Source<false>(mapping, u, v, x, y);
}

void CylindricalProjection::SourceRow(const InverseMapping& mapping, int u0, int v, int count, double* xs, double* ys,
                                      bool* ok) const {
    Row<false>(mapping, u0, v, count, xs, ys, ok);
}
