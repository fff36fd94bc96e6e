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
