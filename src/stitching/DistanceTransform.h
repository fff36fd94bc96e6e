#pragma once

#include "image/ImgTypes.h"

namespace stitch {

// The value that stands for "no set pixel in reach" in squared distances.
constexpr float kInfiniteDistance = 1e20f;

// Exact squared Euclidean distance of every pixel to the nearest pixel with a non-zero mask
// value (0 on such pixels): the distance within each column, then along every row the lower
// envelope of parabolas of Felzenszwalb and Huttenlocher. kInfiniteDistance where the mask
// has no set pixel at all. `squared` is resized to the mask's size.
void SquaredDistanceTransform(const ImgUCHAR& mask, ImgFLOAT& squared);

// The square root as the distance maps take it: x times the fast inverse-square-root estimate
// refined by two Newton steps; 0 below 1e-8.
float FastSqrt(float x);

// Euclidean distance to the nearest set mask pixel (FastSqrt of the squared transform).
void DistanceTransform(const ImgUCHAR& mask, ImgFLOAT& distance);

}  // namespace stitch
