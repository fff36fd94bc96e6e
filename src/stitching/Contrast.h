#pragma once

#include <vector>

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

// The same two steps for a panorama kept in parts (tiles): what they measure is gathered over
// every part first, then what they change is applied part by part, with the same results as on
// the whole image.

// AdjustContrast's change for the channel range [lo, hi] of the non-empty pixels (lo > hi:
// there are none).
struct ContrastAdjustment {
    enum Kind { None, Rescale, Shift } kind = None;
    int m = 0;
    double span = 0;
    int maximum = 0;  // the largest value afterwards, M; 0 for a panorama without pixels
};
ContrastAdjustment PlanContrastAdjustment(int lo, int hi);
void ApplyContrastAdjustment(const ContrastAdjustment& adjustment, ImgRGBSHORT& part);

// The luminance histogram of M bins over [0, M] that the stretch is cut from, added into counts
// (M entries); empty pixels count in the darkest bin.
void AddLuminanceHistogram(const ImgRGBSHORT& part, int M, std::vector<long long>& counts);

// The stretch and gamma from the histogram of all `total` pixels.
struct ContrastStretch {
    double lo = 0;
    double scale = 1;
    int M = 0;
    double gamma = 1;
    std::vector<double> table;  // the luminance's gamma curve over 0 .. M
};
ContrastStretch PlanContrastStretch(const std::vector<long long>& counts, long long total, int M, double gamma);
void ApplyContrastStretch(const ContrastStretch& stretch, ImgRGBSHORT& part);

}  // namespace stitch
