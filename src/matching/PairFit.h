#pragma once

#include <cstdint>
#include <vector>

#include "linalg/CMatrix.h"
#include "linalg/PointD.h"

struct PairRotation {
    double f, omega, phi, kappa;
};

// Genetic search for the pure rotation (f, omega, phi, kappa) that carries P onto Q, with the
// principal point c on both sides.
PairRotation FitPairRotation(const PointD& c, const std::vector<PointD>& P, const std::vector<PointD>& Q, int32_t seed);
// A deterministic start for the same model from the pair's homography: for focal lengths on a
// logarithmic grid, the rotation nearest to K^-1 H K, keeping the one that transfers P onto Q
// best.
PairRotation RotationFromHomography(const PointD& c, const CMatrix& H, const std::vector<PointD>& P,
                                    const std::vector<PointD>& Q);
// Sum of squared transfer errors of the rotation model with principal point c on both sides.
double RotationTransferError(const PointD& c, const PairRotation& r, const std::vector<PointD>& P,
                             const std::vector<PointD>& Q);
// Levenberg-Marquardt polish of the same model, in place.
void RefinePairRotation(const PointD& c, const std::vector<PointD>& P, const std::vector<PointD>& Q,
                        PairRotation& rotation);
// Transforms from stored parameters with each image's own centre: forward = K(f, cj) R K(f, ci)^-1.
void PairMatricesFromParameters(double f, double omega, double phi, double kappa, const PointD& ci, const PointD& cj,
                                CMatrix& forward, CMatrix& backward);
