#pragma once

#include <algorithm>
#include <cmath>

#include "linalg/CMatrix.h"
#include "stitching/Camera.h"
#include "stitching/Projection.h"

// Panorama pixel -> source pixel of one camera, for the render loops: the same arithmetic as
// InverseMap, with the matrices read once into plain numbers. It also tells the directions
// that lie behind the camera, which the plain mapping would mirror into the image.
class InverseMapper {
public:
    InverseMapper(ProjectionType type, const Camera& camera, const CMatrix& panoramaTransformInverse)
        : type(type), f(camera.focalLength), cx(camera.principalX), cy(camera.principalY), lon(camera.lonOffset) {
        const CMatrix& M = type == ProjectionType::Planar ? camera.fromPanorama : panoramaTransformInverse;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) {
                m[3 * i + j] = M(i, j);
                r[3 * i + j] = camera.panoRotation(i, j);
            }
    }

    // False when (u, v) looks away from the camera (or the mapping has no finite answer).
    bool Source(double u, double v, double* x, double* y) const {
        const double w = m[6] * u + m[7] * v + m[8];
        const double a = (m[0] * u + m[1] * v + m[2]) / w, b = (m[3] * u + m[4] * v + m[5]) / w;
        if (type == ProjectionType::Planar) {
            *x = a;
            *y = b;
            return w > 0 && std::isfinite(a) && std::isfinite(b);
        }
        const double l = a - lon;
        double d0, d1, d2;
        if (type == ProjectionType::Cylindrical) {
            d0 = std::sin(l);
            d1 = b;
            d2 = std::cos(l);
        } else {
            const double c = std::cos(b);
            d0 = std::sin(l) * c;
            d1 = std::sin(b);
            d2 = std::cos(l) * c;
        }
        return FromDirection(d0, d1, d2, x, y);
    }

    // Source for the count panorama pixels (u0 + j, v) of one row: ok[j] tells whether
    // (xs[j], ys[j]) holds a source position (they are left as they were where it does not). Where the panorama
    // transform is affine (it always is for the cylinder and the sphere), the angles grow by a fixed step along the
    // row, so their sines and cosines advance by the angle-addition formulas from exact values taken every few pixels:
    // two calls of sin and cos per pixel were a tenth of a whole stitch, and the positions differ from Source's by
    // rounding only (below 1e-9 pixels).
    void SourceRow(int u0, int v, int count, double* xs, double* ys, bool* ok) const {
        if (type == ProjectionType::Planar || m[6] != 0 || m[7] != 0 || !(m[8] != 0)) {
            for (int j = 0; j < count; ++j)
                ok[j] = Source(u0 + j, v, &xs[j], &ys[j]);
            return;
        }
        const double w = m[8];
        const double stepL = m[0] / w, stepB = m[3] / w;
        const double sinStepL = std::sin(stepL), cosStepL = std::cos(stepL);
        const double sinStepB = std::sin(stepB), cosStepB = std::cos(stepB);
        const bool cylinder = type == ProjectionType::Cylindrical;
        for (int start = 0; start < count; start += kExactEvery) {
            const int end = std::min(count, start + kExactEvery);
            const double u = u0 + start;
            const double a = (m[0] * u + m[1] * v + m[2]) / w;
            double b = (m[3] * u + m[4] * v + m[5]) / w;
            double sinL = std::sin(a - lon), cosL = std::cos(a - lon);
            double sinB = cylinder ? 0 : std::sin(b), cosB = cylinder ? 1 : std::cos(b);
            for (int j = start; j < end; ++j) {
                double d0, d1, d2;
                if (cylinder) {
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
                ok[j] = FromDirection(d0, d1, d2, &xs[j], &ys[j]);
            }
        }
    }

private:
    // The source pixel of direction d of the panorama frame; false (x, y untouched) when it
    // points away from the camera or the answer is not finite.
    bool FromDirection(double d0, double d1, double d2, double* x, double* y) const {
        // panoRotation^T d: the columns of panoRotation dotted with d.
        const double X = r[0] * d0 + r[3] * d1 + r[6] * d2;
        const double Y = r[1] * d0 + r[4] * d1 + r[7] * d2;
        const double Z = r[2] * d0 + r[5] * d1 + r[8] * d2;
        if (!(Z > 0))
            return false;
        *x = f * X / Z + cx;
        *y = f * Y / Z + cy;
        return std::isfinite(*x) && std::isfinite(*y);
    }

    // Pixels between exact sines and cosines in SourceRow: the recurrence's rounding grows by
    // about one unit in the last place per step.
    static constexpr int kExactEvery = 32;

    ProjectionType type;
    double f, cx, cy, lon;
    double m[9];
    double r[9];
};
