#include "stitching/Rotations.h"

#include <cmath>

CMatrix Rx(double a) {
    double c = std::cos(a), s = std::sin(a);
    const double m[9] = {1, 0, 0, 0, c, -s, 0, s, c};
    return CMatrix(3, 3, m);
}

CMatrix Ry(double b) {
    double c = std::cos(b), s = std::sin(b);
    const double m[9] = {c, 0, s, 0, 1, 0, -s, 0, c};
    return CMatrix(3, 3, m);
}

CMatrix Rz(double g) {
    double c = std::cos(g), s = std::sin(g);
    const double m[9] = {c, -s, 0, s, c, 0, 0, 0, 1};
    return CMatrix(3, 3, m);
}

CMatrix NearestRotation(const CMatrix& A) {
    CVector s;
    CMatrix U, V;
    SvdSorted(A, s, U, V);
    CMatrix Vt = V.Transpose();
    CMatrix D;
    D.Identity(3);
    D(2, 2) = (U * Vt).Determinant();
    return U * D * Vt;
}
