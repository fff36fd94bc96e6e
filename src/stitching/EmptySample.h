#pragma once

#include <cstdint>

#include "image/Pixels.h"

// The 16-bit channel value that marks the absence of image data in the stitch's 16-bit
// working images. Only channel 0 is tested; a pixel that holds data never carries it there.
constexpr int16_t EMPTY_SAMPLE = -32768;

inline bool IsEmptySample(const RgbSHORT& p) { return p.b == EMPTY_SAMPLE; }
