#pragma once

#include "linalg/RectD.h"

// A rectangle of whole panorama pixels.
struct PixelRect {
    int left = 0, top = 0, width = 0, height = 0;
    int Right() const { return left + width; }   // one past the last column
    int Bottom() const { return top + height; }  // one past the last row
    bool Empty() const { return width <= 0 || height <= 0; }
};

// The rectangle of the panorama an image is drawn over: columns trunc(left) .. trunc(right),
// rows trunc(top) .. trunc(bottom), inclusive.
PixelRect PixelRectOf(const RectD& rect);

// The pixels a and b have in common (empty when none).
PixelRect Intersection(const PixelRect& a, const PixelRect& b);
