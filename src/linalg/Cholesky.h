#pragma once

#include "linalg/CMatrix.h"
#include "linalg/CVector.h"

// Solves N x = b for a symmetric positive definite N by its Cholesky factor (N = L L^T), in
// n^3 / 6 multiply-adds instead of the n^3 of an inverse. False, with x untouched, when N is
// not square, does not match b, or is not positive definite (a pivot that is not clearly
// positive): the caller then chooses another way.
bool SolveCholesky(const CMatrix& N, const CVector& b, CVector& x);
