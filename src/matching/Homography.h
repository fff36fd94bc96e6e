#pragma once

#include <vector>

#include "linalg/CMatrix.h"
#include "linalg/PointD.h"
#include "linalg/PointTransform.h"

// Normalised direct linear transform from the first n pairs (n >= 4); false when degenerate.
bool FitHomographyDlt(CMatrix& H, const std::vector<PointD>& P, const std::vector<PointD>& Q, int n);

// Sum of |H(P_k) - Q_k|^2 over n; the largest double when the lists are empty or differ in length.
double MeanSquaredTransferError(const CMatrix& H, const std::vector<PointD>& P, const std::vector<PointD>& Q);

// Keeps only the inliers of the best homography (in input order); with no model of more than
// six inliers, P and Q are emptied and H is the identity. Reproducible: the generator starts
// from the same seed on every call. iterations, when given, receives the number run.
void FitHomographyRansac(CMatrix& H, std::vector<PointD>& P, std::vector<PointD>& Q, double threshold,
                         int* iterations = nullptr);
