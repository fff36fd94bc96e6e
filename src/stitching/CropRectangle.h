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

// Whether [x0, x1] x [y0, y1] (inclusive) lies inside P and every pixel of its four edges is
// non-empty; the interior is not examined.
bool CropEdgesFilled(const ImgRGBSHORT& P, int x0, int y0, int x1, int y1);

// The automatic crop rectangle: greedily the largest rectangle whose edges hold no empty
// pixel. Starting at the fullest row and column, it is widened along the panorama's longer
// direction, grown across it while narrowing when stuck, then grown along it again.
CropRect FindCropRectangle(const ImgRGBSHORT& P);

}  // namespace stitch
