#include "matching/PairRotationModel.h"

#include <cmath>

CMatrix CameraMatrix(double f, const PointD& c) {
    const double k[9] = {f, 0, c.x, 0, f, c.y, 0, 0, 1};
    return CMatrix(3, 3, k);
}

void RotationEntries(double omega, double phi, double kappa, double r[9]) {
    double co = std::cos(omega), so = std::sin(omega), cp = std::cos(phi), sp = std::sin(phi);
    double ck = std::cos(kappa), sk = std::sin(kappa);
    const double entries[9] = {ck * cp,
                               ck * sp * so - sk * co,
                               ck * sp * co + sk * so,
                               sk * cp,
                               sk * sp * so + ck * co,
                               sk * sp * co - ck * so,
                               -sp,
                               cp * so,
                               cp * co};
    for (int k = 0; k < 9; ++k)
        r[k] = entries[k];
}

CMatrix RotationMatrix(double omega, double phi, double kappa) {
    double r[9];
    RotationEntries(omega, phi, kappa, r);
    return CMatrix(3, 3, r);
}

CMatrix RotationTransfer(double f, double omega, double phi, double kappa, const PointD& cFrom, const PointD& cTo) {
    // K^-1 of a pinhole camera is written out rather than inverted numerically.
    const double inverse[9] = {1 / f, 0, -cFrom.x / f, 0, 1 / f, -cFrom.y / f, 0, 0, 1};
    return CameraMatrix(f, cTo) * RotationMatrix(omega, phi, kappa) * CMatrix(3, 3, inverse);
}
