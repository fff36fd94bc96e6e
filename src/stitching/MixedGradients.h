#pragma once

#include "image/ImgTypes.h"
#include "stitching/SineGrid.h"

namespace stitch {

// The right-hand side of the gradient-domain blends: forward-difference gradients mixed as
//     g_x(y, x) = (b(y, x+1) - b(y, x)) (1 - E(y, x)) + (a(y, x+1) - a(y, x)) E(y, x)
//     g_y(y, x) = (a(y+1, x) - a(y, x)) E(y, x) + (b(y+1, x) - b(y, x)) (1 - E(y, x))
// and their divergence taken with backward differences,
//     d(y, x) = g_x(y, x) - g_x(y, x-1) + g_y(y, x) - g_y(y-1, x),
// written as G(y, x) for 1 <= y <= h - 2, 1 <= x <= w - 2 (a, b, E: w x h; G at least that
// large). Backward after forward makes d the five-point Laplacian centred on the pixel it is
// stored at, so the solve gives back an unmixed image where it stands; forward differences
// twice would centre the two second differences on different pixels and shift and smear the
// solution direction by direction.
void MixedDivergence(const ImgFLOAT& a, const ImgFLOAT& b, const ImgFLOAT& E, SineGrid& G);
// The same with a and b channel k (0 blue, 1 green, 2 red) of A and B, their two outermost pixel
// rings taken as 0 (RingClearedChannelRow), read without a float copy of either image.
void MixedDivergence(const ImgRGBSHORT& A, const ImgRGBSHORT& B, int k, const ImgFLOAT& E, SineGrid& G);

// Row y of channel k of `image` as floats, 0 on the two outermost pixel rings (out: image.width).
void RingClearedChannelRow(const ImgRGBSHORT& image, int k, int y, float* out);

}  // namespace stitch
