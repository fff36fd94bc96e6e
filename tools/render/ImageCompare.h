#pragma once

// Comparing a stitched panorama with its ground truth.
#include <stdexcept>

#include "image/ImgTypes.h"

namespace render {

class CompareError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct PsnrResult {
    double decibels = 0;  // +infinity for identical pixels
    double meanSquaredError = 0;
    long pixels = 0;  // pixels compared
};

// Peak signal-to-noise ratio of two RGB images of one size over all three channels, peak 255,
// over the pixels where mask (same size, optional) is non-zero. Throws CompareError when the
// sizes differ or no pixel is compared.
PsnrResult Psnr(const ImgRGB& a, const ImgRGB& b, const ImgUCHAR* mask = nullptr);

// The same after a gain and an offset per channel, fitted by least squares over the compared
// pixels, carry a onto b: the measure of sharpness and geometry alone, where a stitcher's
// tonal steps (a contrast stretch, a gamma) change every level alike.
PsnrResult PsnrWithFittedExposure(const ImgRGB& a, const ImgRGB& b, const ImgUCHAR* mask = nullptr);

// A mask from an image file's pixels: non-zero where the gray value is above half.
ImgUCHAR MaskFromImage(const ImgRGB& image);
// The mask as a black-and-white image for saving.
ImgRGB ImageFromMask(const ImgUCHAR& mask);

}  // namespace render
