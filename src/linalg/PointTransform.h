#pragma once

#include "linalg/CMatrix.h"
#include "linalg/PointD.h"

// (x, y) through a 3 x 3 matrix with the perspective division.
inline PointD ApplyTransform(const CMatrix& M, double x, double y) {
    const double w = M(2, 0) * x + M(2, 1) * y + M(2, 2);
    return {(M(0, 0) * x + M(0, 1) * y + M(0, 2)) / w, (M(1, 0) * x + M(1, 1) * y + M(1, 2)) / w};
}

inline PointD ApplyTransform(const CMatrix& M, const PointD& p) { return ApplyTransform(M, p.x, p.y); }
