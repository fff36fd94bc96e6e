#pragma once

#include "image/ImgTypes.h"

namespace stitch {

// The 8-bit output of the 16-bit panorama (out is resized to P's size): with m, M0 the
// smallest and largest channel value of the non-empty pixels, each channel becomes
// trunc((v - m) 255 / (M0 - m) + 0.5); empty pixels become black. When all non-empty values
// are equal (M0 = m) there is no range to spread: they are written as they stand, clamped to
// 0 .. 255.
void ConvertToOutput(const ImgRGBSHORT& P, ImgRGB& out);

// The same conversion for a panorama kept in parts: the range [lo, hi] is gathered over every
// part first (lo > hi: no pixel holds data), then each part converts alone.
struct OutputRange {
    int lo = 32767;
    int hi = -32768;
    // The samples are 8-bit values already (the preview's): each channel keeps its low byte,
    // as a copy into an 8-bit image does.
    bool plain = false;
};
// Rows of part into rows of out (out must be at least as large); bands of rows on all cores.
void ConvertToOutput(const ImgRGBSHORT& part, const OutputRange& range, ImgRGB& out);

// The largest value of the wide output: the canvas holds 15 bits of precision (Contrast brings
// it into 0 .. 32767), so a 16-bit file is written from 0 .. kWideOutputMax.
constexpr int kWideOutputMax = 32767;
// The same conversion onto 0 .. kWideOutputMax instead of 0 .. 255, for 16-bit files; a plain
// (8-bit) panorama is spread over the wider range, empty pixels stay 0.
void ConvertToWideOutput(const ImgRGBSHORT& part, const OutputRange& range, ImgRGBSHORT& out);
// A wide output value as a 16-bit file sample, 0 .. 65535.
inline uint16_t SixteenBitSample(int16_t wide) {
    return static_cast<uint16_t>((static_cast<uint32_t>(wide) * 65535u + kWideOutputMax / 2) / kWideOutputMax);
}

}  // namespace stitch
