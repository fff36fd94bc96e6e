#include "stitching/CameraTransfer.h"

#include <cmath>
#include <limits>

#include "stitching/Rotations.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

void Read3(const CMatrix& M, double* out) {
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            out[3 * i + j] = M(i, j);
}

}  // namespace

CameraTransfer::CameraTransfer(const Projection& projection, const Camera& from, const Camera& to)
    : fold(projection.Fold()), fromF(from.focalLength), fromCx(from.principalX), fromCy(from.principalY),
      toF(to.focalLength), toCx(to.principalX), toCy(to.principalY) {
    if (fold == RayFold::None) {
        // `from` pixel -> homogeneous panorama pixel -> `to` pixel: one homography, with the
        // panorama pixel's own weight kept for the sign test of the way back.
        Read3(to.fromPanorama * from.toPanorama, onward);
        for (int j = 0; j < 3; ++j)
            planarLast[j] = from.toPanorama(2, j);
        for (double& r : rotation)
            r = 0;
        return;
    }
    Read3(from.panoRotation, rotation);
    // The folded ray turns about the vertical axis by the longitude difference, then into
    // `to`'s camera frame.
    Read3(to.panoRotation.Transpose() * Ry(from.lonOffset - to.lonOffset), onward);
    for (double& p : planarLast)
        p = 0;
}

void CameraTransfer::WorkingRow(int i, int count, double fromScale, double toScale, double* xs, double* ys) const {
    if (fold == RayFold::None)
        PlanarRow(i, count, fromScale, toScale, xs, ys);
    else
        SurfaceRow(i, count, fromScale, toScale, xs, ys);
}

namespace {

// The surface row with the fold fixed at compile time, every pixel computed whole and the
// failures chosen afterwards, so that the loop has no branch and runs on vector registers.
template <bool Sphere>
void FoldedRow(const double* r, const double* m, double fromF, double fromCx, double fromCy, double toF, double toCx,
               double toCy, int i, int count, double fromScale, double toScale, double* __restrict xs,
               double* __restrict ys) {
    const double dy = i / fromScale - fromCy;
    const double rowX = r[1] * dy + r[2] * fromF, rowY = r[4] * dy + r[5] * fromF, rowZ = r[7] * dy + r[8] * fromF;
    for (int j = 0; j < count; ++j) {
        const double dx = j / fromScale - fromCx;
        double X = r[0] * dx + rowX;
        const double Y = r[3] * dx + rowY;
        const double Z = r[6] * dx + rowZ;
        // A ray with no longitude (straight up or down) has no place on either surface.
        const bool onSurface = X * X + Z * Z > 0;
        // The cylinder's arcsine keeps the ray's side and folds its depth forward; the
        // sphere's arctangent of X / Z folds the whole ray through the camera's centre.
        if constexpr (Sphere)
            X *= std::copysign(1.0, Z);
        const double depth = std::abs(Z);
        const double cx = m[0] * X + m[1] * Y + m[2] * depth;
        const double cy = m[3] * X + m[4] * Y + m[5] * depth;
        const double cz = m[6] * X + m[7] * Y + m[8] * depth;
        const double px = (toF * cx / cz + toCx) * toScale, py = (toF * cy / cz + toCy) * toScale;
        // x - x is 0 exactly for a finite x, NaN for an infinite or NaN one.
        const bool ok = onSurface & (cz > 0) & (px - px == 0) & (py - py == 0);
        xs[j] = ok ? px : kNaN;
        ys[j] = ok ? py : kNaN;
    }
}

}  // namespace

void CameraTransfer::SurfaceRow(int i, int count, double fromScale, double toScale, double* xs, double* ys) const {
    if (fold == RayFold::ThroughCentre)
        FoldedRow<true>(rotation, onward, fromF, fromCx, fromCy, toF, toCx, toCy, i, count, fromScale, toScale, xs, ys);
    else
        FoldedRow<false>(rotation, onward, fromF, fromCx, fromCy, toF, toCx, toCy, i, count, fromScale, toScale, xs,
                         ys);
}

void CameraTransfer::PlanarRow(int i, int count, double fromScale, double toScale, double* xs, double* ys) const {
    const double* h = onward;
    const double* w = planarLast;
    const double y = i / fromScale;
    for (int j = 0; j < count; ++j) {
        const double x = j / fromScale;
        const double W = w[0] * x + w[1] * y + w[2];
        const double P0 = h[0] * x + h[1] * y + h[2];
        const double P1 = h[3] * x + h[4] * y + h[5];
        const double P2 = h[6] * x + h[7] * y + h[8];
        // The way back takes panorama pixels whose own weight P2 / W is positive.
        const bool ahead = (W != 0) & (P2 != 0) & ((P2 > 0) == (W > 0));
        const double px = P0 / P2 * toScale, py = P1 / P2 * toScale;
        // Without branches, as in the surface row.
        const bool ok = ahead & (px - px == 0) & (py - py == 0);
        xs[j] = ok ? px : kNaN;
        ys[j] = ok ? py : kNaN;
    }
}
