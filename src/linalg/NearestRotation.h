#pragma once

// The proper rotation nearest to a 3 x 3 matrix m (row major) in the Frobenius norm: the one
// that maximises trace(R^T m), which the singular value decomposition m = U S V^T gives as
// U diag(1, 1, det(U V^T)) V^T. Found here as the unit quaternion of the largest eigenvalue of
// a symmetric 4 x 4 matrix, by Jacobi rotations: no allocation, a few hundred operations,
// where the decomposition needs thousands.
void NearestRotation(const double m[9], double r[9]);
