#pragma once

#include <cstdint>
#include <vector>

#include "CMatrix.h"
#include "PointD.h"

struct PairRotation {
    double f, omega, phi, kappa;
};

// Genetic search for the pure rotation (f, omega, phi, kappa) that carries P onto Q, with the
// principal point c on both sides.
PairRotation FitPairRotation(const PointD& c, const std::vector<PointD>& P, const std::vector<PointD>& Q,
                             int32_t seed);
// Levenberg-Marquardt polish of the same model, in place.
void RefinePairRotation(const PointD& c, const std::vector<PointD>& P, const std::vector<PointD>& Q,
                        PairRotation& rotation);
// Transforms from stored parameters with each image's own centre: forward = K(f, cj) R K(f, ci)^-1.
void PairMatricesFromParameters(double f, double omega, double phi, double kappa, const PointD& ci,
                                const PointD& cj, CMatrix& forward, CMatrix& backward);
