#pragma once

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

private:
    ProjectionType type;
    double f, cx, cy, lon;
    double m[9];
    double r[9];
};
