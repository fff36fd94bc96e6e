#pragma once

#include <cstdint>
#include <type_traits>

#include "image/PixelConversion.h"
#include "image/PixelTraits.h"

// The bilinear sample of a pixel type at (x, y) from the two rows that hold rows row and
// row + 1, with col = floor(x) and col + 1 inside. Inline and non-virtual so that warping
// loops can call it per pixel; ImgT::Interpolate is this same arithmetic.
template <class T>
inline void BilinearSample(const T* top, const T* bottom, T* out, double x, double y, int col, int row) {
    using Traits = PixelTraits<T>;
    using C = typename Traits::Channel;
    const double fx = x - col, fy = y - row;
    top += col;
    bottom += col;
    const C* p00 = ChannelsOf(top[0]);
    const C* p10 = ChannelsOf(top[1]);
    const C* p01 = ChannelsOf(bottom[0]);
    const C* p11 = ChannelsOf(bottom[1]);
    C* o = ChannelsOf(*out);
    for (int k = 0; k < Traits::kChannels; ++k) {
        double upper = p00[k] * (1 - fx) + p10[k] * fx;
        double lower = p01[k] * (1 - fx) + p11[k] * fx;
        if constexpr (std::is_same_v<T, Rgba>) {
            // The 8-bit four-channel sample cuts each horizontal blend to a byte first.
            upper = static_cast<uint8_t>(pixel::TruncateToInt(upper));
            lower = static_cast<uint8_t>(pixel::TruncateToInt(lower));
        }
        o[k] = StoreChannel<C>(upper * (1 - fy) + lower * fy);
    }
}
