#pragma once

#include "image/ImgT.h"

// Young-van Vliet third-order recursive Gaussian, in place; constant cost per pixel for every
// sigma. Images whose width or height is 3 or less are left unchanged.
void GaussianSmooth(ImgT<float>& image, double sigma);

// The recursion coefficients in double precision, and rounded to single precision for images.
struct GaussianCoefficientsExact {
    double B, a1, a2, a3, g;
};
GaussianCoefficientsExact GaussianCoefficientsExactFor(double sigma);

struct GaussianCoefficients {
    float B, a1, a2, a3, g;
};
GaussianCoefficients GaussianCoefficientsFor(double sigma);
