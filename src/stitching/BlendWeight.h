#pragma once

#include <algorithm>
#include <cmath>

#include "image/ImgTypes.h"

namespace stitch {

// Percent of the smaller side of an image's rectangle over which the blend fades.
constexpr int kBlendWidthPercent = 30;

// c_w = min(w, h) * percent / 100 in integers, at least 1 (below that the weight's formula
// has no width to fade over).
int BlendWidth(int w, int h, int percent);

// Distance of every pixel to the rectangle's outermost ring (0 on the ring), with the same
// square root as the distance transform gives; equal to the transform of the ring mask.
void RingDistance(int w, int h, ImgFLOAT& distance);

// The blend weight of the new image for a seam mask M (1 where it owns the panorama):
// with d the distance to M's set pixels and e the distance to the rectangle's border, both
// cut at c_w, w = (c_w - d) e / ((e + d) c_w), then spread linearly onto [0, 1]. The weight is
// 0 on the border ring (also where the ring meets M, where the formula reads 0 / 0), and 0
// everywhere when M has no set pixel (the new image owns nothing; the background stays).
void BlendWeight(const ImgUCHAR& M, int widthPercent, ImgFLOAT& omega);

// Plain feathering of A into B: b := a w + (1 - w) b per channel, with w = BlendWeight(M).
void FeatherBlend(const ImgRGBSHORT& A, ImgRGBSHORT& B, const ImgUCHAR& M, int widthPercent);

// A blended float value back into a 16-bit channel: truncated toward zero and kept inside
// -32767 .. 32767 (never the empty marker, never wrapped around).
inline short ToChannel(float v) {
    // Clamped first, then truncated by the conversion: the same as truncating first for these
    // whole bounds, and a form the compiler turns into vector instructions.
    return static_cast<short>(static_cast<int>(std::clamp(v, -32767.0f, 32767.0f)));
}

}  // namespace stitch
