#pragma once

#include "image/ImgTypes.h"
#include "stitching/BrightnessGradient.h"
#include "stitching/OutputConversion.h"
#include "stitching/PanoramaCanvas.h"

namespace stitch {

// The tonal steps of the final stitch over a whole canvas, with the results they have on one
// image: the brightness gradients (horizontal, then vertical), the contrast adjustment, the
// contrast stretch with gamma. Each measurement is gathered over every tile before its change
// is applied, and each pass over the tiles also measures what the next step needs, so the
// canvas is read three times in all.
struct TonalSteps {
    BrightnessLevels horizontal;
    BrightnessLevels vertical;
    double gamma = 1;
};

// What the passes leave for the output: the range of the 8-bit conversion and the coverage of
// the panorama for the crop search, reduced by coverageScale (a power of two, 1 for panoramas up
// to kFullCoveragePixels): a pixel of the mask is set only where every panorama pixel of its
// block holds data.
struct TonedCanvas {
    OutputRange range;
    ImgUCHAR coverage;
    int coverageScale = 1;
};
constexpr long long kFullCoveragePixels = 64LL << 20;

TonedCanvas ApplyTonalSteps(PanoramaCanvas& canvas, const TonalSteps& steps);

}  // namespace stitch
