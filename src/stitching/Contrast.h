#pragma once

#include "image/ImgTypes.h"

namespace stitch {

// Brings the non-empty channel values of P into 0 .. 32767 and returns the largest value
// afterwards (m, M0: the smallest and largest value over all three channels):
// M0 - m >= 32768: v := trunc((v - m) 32767 / (M0 - m) + 0.5), returns 32767;
// else m < 0: v := v - m, returns M0 - m; else nothing changes, returns M0.
// A panorama without non-empty pixels returns 0.
int AdjustContrast(ImgRGBSHORT& P);

// AdjustContrast, then a contrast stretch that clips about 0.2 / M of the luminance mass at
// each end of the histogram, combined with gamma gamma on the luminance (1: none) that scales
// the three channels of a pixel alike. Results stay in 0 .. M. When the luminance has no
// spread to stretch (all of it in one bin, or M < 2) only the gamma is applied; a black pixel
// stays black under any gamma.
void StretchContrastAndGamma(ImgRGBSHORT& P, double gamma);

}  // namespace stitch
