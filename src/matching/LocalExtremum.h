#pragma once

#include "image/ImgTypes.h"

// Strictly greater than all eight neighbours (strictly smaller when the value is negative).
bool IsStrictExtremum(const ImgFLOAT& image, int col, int row);

// Sub-pixel position of the extremum by a least-squares quadratic through the 3 x 3
// neighbourhood; false when the fit is degenerate, moves more than maxOffset, or leaves the
// image interior.
bool RefineExtremum(const ImgFLOAT& image, int col, int row, double* x, double* y, double maxOffset);
