#pragma once

// How the filters see a pixel: as a small array of channels, accumulated in float (double for
// the 32-bit integer and double images) and stored back by truncation toward zero.
#include <cstdint>
#include <type_traits>

#include "image/PixelConversion.h"

template <class T>
struct PixelTraits;

template <class T>
requires std::is_arithmetic_v<T>
struct PixelTraits<T> {
    using Channel = T;
    static constexpr int kChannels = 1;
};
template <>
struct PixelTraits<Rgb> {
    using Channel = uint8_t;
    static constexpr int kChannels = 3;
};
template <>
struct PixelTraits<Rgba> {
    using Channel = uint8_t;
    static constexpr int kChannels = 4;
};
template <>
struct PixelTraits<RgbSHORT> {
    using Channel = int16_t;
    static constexpr int kChannels = 3;
};
template <>
struct PixelTraits<CpxFLOAT> {
    using Channel = float;
    static constexpr int kChannels = 2;
};

template <class T>
using AccumulatorOf = std::conditional_t<std::is_same_v<T, int32_t> || std::is_same_v<T, double>, double, float>;

template <class C, class A>
inline C StoreChannel(A v) {
    if constexpr (std::is_floating_point_v<C>)
        return static_cast<C>(v);
    else
        return static_cast<C>(pixel::TruncateToInt(v));
}

template <class T>
inline typename PixelTraits<T>::Channel* ChannelsOf(T& p) {
    return reinterpret_cast<typename PixelTraits<T>::Channel*>(&p);
}
template <class T>
inline const typename PixelTraits<T>::Channel* ChannelsOf(const T& p) {
    return reinterpret_cast<const typename PixelTraits<T>::Channel*>(&p);
}
