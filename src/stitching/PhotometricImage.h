#pragma once

#include "image/ImgTypes.h"

// The width of the small copies the photometric fit compares.
constexpr int kPhotometricImageWidth = 300;
// The blur of the small copies, in small-image pixels: colours are compared as local averages,
// so that a small error of the geometry or fine texture does not count as a difference of
// brightness. It must stay well below the distance of the outer samples from an image border
// (a tenth of the overlap, some 15 small pixels): a wide blur such as sigma 30 mixes the
// border colours of one photograph into its samples while the other sees the scene beyond,
// and the fit then follows those false differences (on rendered rows whose true correction is
// known, 30 left the overlaps 4.7 % apart where 5 leaves 1.2 %, the truth 1.1 %).
constexpr double kPhotometricBlurSigma = 5;

// Gaussian smoothing of each colour channel of an 8-bit image in place, rounded back to bytes.
void SmoothChannels(ImgRGB& image, double sigma);

// The small blurred copy of a photograph that the fit samples: scale s = 300 / width,
// int(w s + 0.5) x int(h s + 0.5) pixels; a reduction is anti-aliased first (sigma = -0.5 log2 s
// per channel), then resampled bilinearly at (x / s, y / s) and smoothed with blurSigma. The
// photograph is consumed (smoothed in place). Returns s; 0 for a photograph without pixels.
double MakePhotometricImage(ImgRGB& photograph, ImgRGB& small, double blurSigma = kPhotometricBlurSigma);
