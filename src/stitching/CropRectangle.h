#pragma once

#include "image/ImgTypes.h"

namespace stitch {

// A crop frame in panorama pixels; the crop itself truncates each field.
struct CropRect {
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;
};

// Whether [x0, x1] x [y0, y1] (inclusive) lies inside the coverage mask (set where the panorama
// holds data) and every pixel of its four edges is set; the interior is not examined.
bool CropEdgesFilled(const ImgUCHAR& coverage, int x0, int y0, int x1, int y1);

// The automatic crop rectangle in the coverage mask's pixels: greedily the largest rectangle
// whose edges hold no empty pixel. Starting at the fullest row and column, it is widened along
// the panorama's longer direction, grown across it while narrowing when stuck, then grown along
// it again.
CropRect FindCropRectangle(const ImgUCHAR& coverage);

// The coverage mask of a 16-bit panorama: 1 where a pixel holds data.
ImgUCHAR CoverageOf(const ImgRGBSHORT& P);

}  // namespace stitch
