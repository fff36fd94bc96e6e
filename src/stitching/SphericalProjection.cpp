#include "stitching/SphericalProjection.h"

#include <cmath>

PointD SphericalProjection::ToSurface(const Camera& camera, double x, double y) const {
    double X, Y, Z;
    PanoramaRay(camera, x, y, X, Y, Z);
    const double rho = std::sqrt(X * X + Z * Z);
    // The plain arctangent: the local longitude lies within 90 degrees of the camera's axis.
    return {std::atan(X / Z) + camera.lonOffset, std::atan(Y / rho)};
}

int SphericalProjection::PoleSeen(const Camera& camera) const {
    const CMatrix& R = camera.panoRotation;
    for (int pole : {-1, 1}) {
        // The pole's direction (0, pole, 0) in the camera: row 1 of the panorama rotation.
        const double X = pole * R(1, 0), Y = pole * R(1, 1), Z = pole * R(1, 2);
        if (!(Z > 0))
            continue;
        const double x = camera.focalLength * X / Z + camera.principalX;
        const double y = camera.focalLength * Y / Z + camera.principalY;
        if (x >= 0 && x <= camera.lens.width && y >= 0 && y <= camera.lens.height)
            return pole;
    }
    return 0;
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
