#pragma once

#include <vector>

#include "matching/Descriptor.h"

// The recursive Gaussian on one signal of doubles, with coefficients kept in double
// precision; fewer than 4 elements are left unchanged.
void SmoothVector(std::vector<double>& v, double sigma);

// Resamples to newLength by linear interpolation, smoothing first when shrinking.
void ResampleVector(const std::vector<float>& in, std::vector<float>& out, int newLength, double smoothingFactor);

// Squared correlation coefficient over the common length (0 when undefined).
double SquaredCorrelation(const Descriptor& a, const Descriptor& b);
