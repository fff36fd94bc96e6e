#pragma once

#include <cstring>

#include "image/ImgTypes.h"

// Pixel-for-pixel equality of two images of the same size.
inline bool SamePixels(const ImgRGB& a, const ImgRGB& b) {
    if (a.width != b.width || a.height != b.height)
        return false;
    for (int y = 0; y < a.height; ++y)
        if (std::memcmp(a.Row(y), b.Row(y), sizeof(Rgb) * static_cast<size_t>(a.width)) != 0)
            return false;
    return true;
}

// The largest difference of one channel between two images of the same size; -1 for sizes that
// differ.
inline int LargestDifference(const ImgRGB& a, const ImgRGB& b) {
    if (a.width != b.width || a.height != b.height)
        return -1;
    int worst = 0;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x) {
            const Rgb p = a.Row(y)[x], q = b.Row(y)[x];
            for (int d : {p.b - q.b, p.g - q.g, p.r - q.r})
                worst = d > worst ? d : -d > worst ? -d : worst;
        }
    return worst;
}
