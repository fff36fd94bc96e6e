#pragma once

#include "image/ImgTypes.h"
#include "stage/StageResult.h"
#include "stitching/CropRectangle.h"

namespace stitch {

// The message of a crop that could not get memory for its image.
constexpr const char* kCropAllocationFailure = "\nCould not allocate memory for the crop image\n";

struct Crop360 {
    // A closed 360-degree panorama with "Crop and blend 360 degrees" on.
    bool enabled = false;
    // The width of one full turn in panorama pixels.
    int turnWidth = 0;
};

// Cuts rect (fields truncated) out of the stitched panorama into target. A rectangle at most
// 10 pixels wide or high crops the whole source instead. With crop360 enabled and a frame wider
// than one turn, the crop is exactly one turn wide and the strip beyond the turn is blended into
// its first columns, so that they continue its last column. Parts of the frame outside the
// source come out black. Out of memory (kCropAllocationFailure), target is left empty.
StageResult CropPanorama(const ImgRGB& source, ImgRGB& target, const CropRect& rect, const Crop360& crop360);

// What a crop of rect cuts from a panorama of width x height by CropPanorama's rules: the
// frame's pixels (parts outside the panorama come out black) and the width of the strip beyond
// one turn that is blended into its first columns (0: none).
struct CropFrame {
    int x0 = 0, y0 = 0, width = 0, height = 0;
    int strip = 0;
};
CropFrame CropFrameOf(const CropRect& rect, const Crop360& crop360, int width, int height);

// The 360-degree blend on its own: the first g columns of target (from (x0, y0) in the source)
// blended with the g source columns beyond one turn, which start at x0 + target.width.
void BlendTurnStrip(const ImgRGB& source, ImgRGB& target, int x0, int y0, int g);
// The same from the two strips alone (both g x h): `first`, the frame's first g columns, is
// blended in place with `beyond`, the g columns that follow one turn later.
void BlendTurnStrip(ImgRGB& first, const ImgRGB& beyond);
// The same over the wide output of 16-bit files (channels 0 .. kWideOutputMax).
void BlendTurnStrip(ImgRGBSHORT& first, const ImgRGBSHORT& beyond);

}  // namespace stitch
