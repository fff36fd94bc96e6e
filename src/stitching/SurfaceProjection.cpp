#include "stitching/SurfaceProjection.h"

#include <algorithm>
#include <cmath>

namespace {

// Pixels between exact sines and cosines in a row: the angle-addition recurrence's rounding
// grows by about one unit in the last place per step.
constexpr int kExactEvery = 32;

// The source pixel of direction d of the panorama frame; false (x, y untouched) when it points
// away from the camera or the answer is not finite.
inline bool FromDirection(const InverseMapping& mapping, double d0, double d1, double d2, double* x, double* y) {
    // panoRotation^T d: the columns of panoRotation dotted with d.
    const double* r = mapping.r;
    const double X = r[0] * d0 + r[3] * d1 + r[6] * d2;
    const double Y = r[1] * d0 + r[4] * d1 + r[7] * d2;
    const double Z = r[2] * d0 + r[5] * d1 + r[8] * d2;
    if (!(Z > 0))
        return false;
    *x = mapping.f * X / Z + mapping.cx;
    *y = mapping.f * Y / Z + mapping.cy;
    return std::isfinite(*x) && std::isfinite(*y);
}

}  // namespace

void SurfaceProjection::PanoramaRay(const Camera& camera, double x, double y, double& X, double& Y, double& Z) {
    const double dx = x - camera.principalX, dy = y - camera.principalY, f = camera.focalLength;
    const double* r0 = camera.panoRow0;
    const double* r2 = camera.panoRow2;
    const CMatrix& R = camera.panoRotation;
    X = r0[0] * dx + r0[1] * dy + r0[2] * f;
    Y = R(1, 0) * dx + R(1, 1) * dy + R(1, 2) * f;
    Z = r2[0] * dx + r2[1] * dy + r2[2] * f;
}

PointD SurfaceProjection::FromSurface(const Camera& camera, double a, double b) const {
    double d[3];
    Direction(a - camera.lonOffset, b, d);
    // panoRotation^T d: the columns of panoRotation dotted with d.
    const CMatrix& R = camera.panoRotation;
    double X = R(0, 0) * d[0] + R(1, 0) * d[1] + R(2, 0) * d[2];
    double Y = R(0, 1) * d[0] + R(1, 1) * d[1] + R(2, 1) * d[2];
    double Z = R(0, 2) * d[0] + R(1, 2) * d[1] + R(2, 2) * d[2];
    const double f = camera.focalLength;
    return {f * X / Z + camera.principalX, f * Y / Z + camera.principalY};
}

template <bool Sphere>
bool SurfaceProjection::Source(const InverseMapping& mapping, double u, double v, double* x, double* y) {
    const double* m = mapping.m;
    const double w = m[6] * u + m[7] * v + m[8];
    const double a = (m[0] * u + m[1] * v + m[2]) / w, b = (m[3] * u + m[4] * v + m[5]) / w;
    const double l = a - mapping.lon;
    if (!Sphere)
        return FromDirection(mapping, std::sin(l), b, std::cos(l), x, y);
    const double c = std::cos(b);
    return FromDirection(mapping, std::sin(l) * c, std::sin(b), std::cos(l) * c, x, y);
}

// Where the panorama transform is affine (it always is for these surfaces), the angles grow by a
// fixed step along the row, so their sines and cosines advance by the angle-addition formulas
// from exact values taken every few pixels: two calls of sin and cos per pixel were a tenth of a
// whole stitch, and the positions differ from Source's by rounding only (below 1e-9 pixels).
template <bool Sphere>
void SurfaceProjection::Row(const InverseMapping& mapping, int u0, int v, int count, double* xs, double* ys, bool* ok) {
    const double* m = mapping.m;
    if (m[6] != 0 || m[7] != 0 || !(m[8] != 0)) {
        for (int j = 0; j < count; ++j)
            ok[j] = Source<Sphere>(mapping, u0 + j, v, &xs[j], &ys[j]);
        return;
    }
    const double w = m[8];
    const double stepL = m[0] / w, stepB = m[3] / w;
    const double sinStepL = std::sin(stepL), cosStepL = std::cos(stepL);
    const double sinStepB = std::sin(stepB), cosStepB = std::cos(stepB);
    for (int start = 0; start < count; start += kExactEvery) {
        const int end = std::min(count, start + kExactEvery);
        const double u = u0 + start;
        const double a = (m[0] * u + m[1] * v + m[2]) / w;
        double b = (m[3] * u + m[4] * v + m[5]) / w;
        double sinL = std::sin(a - mapping.lon), cosL = std::cos(a - mapping.lon);
        double sinB = Sphere ? std::sin(b) : 0, cosB = Sphere ? std::cos(b) : 1;
        for (int j = start; j < end; ++j) {
            double d0, d1, d2;
            if (!Sphere) {
                d0 = sinL;
                d1 = (m[3] * (u0 + j) + m[4] * v + m[5]) / w;
                d2 = cosL;
            } else {
                d0 = sinL * cosB;
                d1 = sinB;
                d2 = cosL * cosB;
                const double nextSinB = sinB * cosStepB + cosB * sinStepB;
                cosB = cosB * cosStepB - sinB * sinStepB;
                sinB = nextSinB;
            }
            const double nextSinL = sinL * cosStepL + cosL * sinStepL;
            cosL = cosL * cosStepL - sinL * sinStepL;
            sinL = nextSinL;
            ok[j] = FromDirection(mapping, d0, d1, d2, &xs[j], &ys[j]);
        }
    }
}

template bool SurfaceProjection::Source<false>(const InverseMapping&, double, double, double*, double*);
template bool SurfaceProjection::Source<true>(const InverseMapping&, double, double, double*, double*);
template void SurfaceProjection::Row<false>(const InverseMapping&, int, int, int, double*, double*, bool*);
template void SurfaceProjection::Row<true>(const InverseMapping&, int, int, int, double*, double*, bool*);
