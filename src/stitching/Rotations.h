#pragma once

#include "linalg/CMatrix.h"

// Right-handed elementary rotations about the x, y and z axes (angles in radians).
CMatrix Rx(double a);
CMatrix Ry(double b);
CMatrix Rz(double g);

// The proper rotation closest to the 3 x 3 matrix A: U diag(1, 1, det(U V^T)) V^T from its
// singular value decomposition. Any positive scale of a rotation gives that rotation back.
CMatrix NearestRotation(const CMatrix& A);
