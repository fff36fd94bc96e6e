#pragma once

#include "linalg/CMatrix.h"
#include "linalg/PointD.h"

// K(f, c) = [[f, 0, cx], [0, f, cy], [0, 0, 1]].
CMatrix CameraMatrix(double f, const PointD& c);
// R = Rz(kappa) Ry(phi) Rx(omega), right-handed elementary rotations.
CMatrix RotationMatrix(double omega, double phi, double kappa);
// The nine entries of R, row by row, without a matrix object (for tight loops).
void RotationEntries(double omega, double phi, double kappa, double r[9]);
// The pure-rotation transfer K(f, cTo) R K(f, cFrom)^-1 from one image to the other.
CMatrix RotationTransfer(double f, double omega, double phi, double kappa, const PointD& cFrom, const PointD& cTo);
