#pragma once

#include "image/ImgTypes.h"

namespace stitch {

// The 8-bit output of the 16-bit panorama (out is resized to P's size): with m, M0 the
// smallest and largest channel value of the non-empty pixels, each channel becomes
// trunc((v - m) 255 / (M0 - m) + 0.5); empty pixels become black. When all non-empty values
// are equal (M0 = m) there is no range to spread: they are written as they stand, clamped to
// 0 .. 255.
void ConvertToOutput(const ImgRGBSHORT& P, ImgRGB& out);

}  // namespace stitch
