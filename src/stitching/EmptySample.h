#pragma once

#include <cstdint>

#include "image/Pixels.h"

// The 16-bit channel value that marks the absence of image data in the stitch's 16-bit
// working images. Only channel 0 is tested; a pixel that holds data never carries it there.
constexpr int16_t EMPTY_SAMPLE = -32768;

inline bool IsEmptySample(const RgbSHORT& p) { return p.b == EMPTY_SAMPLE; }

// Calls f(begin, end) for every run [begin, end) of consecutive pixels holding data among
// row[0 .. width), left to right. Passes over a panorama work on whole runs: its empty pixels
// lie in a few long stretches, and a run's channels are a plain array of 3 (end - begin) values.
template <class F>
inline void ForEachFilledRun(const RgbSHORT* row, int width, F&& f) {
    int x = 0;
    while (x < width) {
        while (x < width && IsEmptySample(row[x]))
            ++x;
        const int begin = x;
        while (x < width && !IsEmptySample(row[x]))
            ++x;
        if (x > begin)
            f(begin, x);
    }
}

// The channels of a row of 16-bit pixels as one array: blue, green, red of pixel 0, then of 1 ...
inline int16_t* ChannelArray(RgbSHORT* row) { return &row->b; }
inline const int16_t* ChannelArray(const RgbSHORT* row) { return &row->b; }