#pragma once

// Conversion of pixels between the image types. One templated loop per (source, destination)
// pair; the destination type is chosen by a switch outside the loops.
#include <immintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "image/Img.h"

namespace pixel {

struct CpxDOUBLE {
    double re, im;
};

// Truncates toward zero into 32 bits the way the processor does (out of range gives
// INT32_MIN), so that any float converts without undefined behaviour.
inline int32_t TruncateToInt(double v) { return _mm_cvttsd_si32(_mm_set_sd(v)); }
inline int32_t TruncateToInt(float v) { return _mm_cvttss_si32(_mm_set_ss(v)); }
template <class S>
inline int32_t TruncateToInt(S v) requires std::is_integral_v<S> {
    return static_cast<int32_t>(v);
}

template <class S>
inline uint8_t ToByte(S v) {
    return static_cast<uint8_t>(TruncateToInt(v));
}

template <class T>
constexpr bool kIsScalar = std::is_arithmetic_v<T>;
template <class T>
constexpr bool kIsColour = std::is_same_v<T, Rgb> || std::is_same_v<T, Rgba>;
template <class T>
constexpr bool kIsComplex = std::is_same_v<T, CpxFLOAT> || std::is_same_v<T, CpxDOUBLE>;

// Gray value of a colour pixel: (11 b + 16 g + 5 r) / 32 in integers.
template <class S>
inline int GrayOf(const S& p) {
    return (11 * int(p.b) + 16 * int(p.g) + 5 * int(p.r)) / 32;
}

// The scalar a pixel stands for when written into a gray, float or complex image.
template <class S>
inline auto ScalarOf(const S& p) {
    if constexpr (kIsScalar<S>)
        return p;
    else if constexpr (kIsComplex<S>)
        return p.re;
    else
        return GrayOf(p);
}

template <class S, class D>
inline void Convert(const S& s, D& d) {
    if constexpr (std::is_same_v<S, D>) {
        d = s;
    } else if constexpr (kIsScalar<D>) {
        auto v = ScalarOf(s);
        if constexpr (std::is_floating_point_v<D>)
            d = static_cast<D>(v);
        else
            d = static_cast<D>(TruncateToInt(v));  // keeps the low bits of the target width
    } else if constexpr (kIsComplex<D>) {
        d.re = static_cast<decltype(d.re)>(ScalarOf(s));
        d.im = 0;
        if constexpr (kIsComplex<S>)
            d.im = static_cast<decltype(d.im)>(s.im);
    } else if constexpr (kIsColour<D>) {
        if constexpr (kIsColour<S> || std::is_same_v<S, RgbSHORT>) {
            d.b = static_cast<uint8_t>(s.b);
            d.g = static_cast<uint8_t>(s.g);
            d.r = static_cast<uint8_t>(s.r);
        } else {
            uint8_t v = ToByte(ScalarOf(s));
            d.b = d.g = d.r = v;
        }
        if constexpr (std::is_same_v<D, Rgba>) {
            if constexpr (std::is_same_v<S, Rgba>)
                d.a = s.a;
            else
                d.a = 255;
        }
    } else {  // RgbSHORT
        if constexpr (kIsColour<S>) {
            d.b = s.b;
            d.g = s.g;
            d.r = s.r;
        } else {
            int16_t v = ToByte(ScalarOf(s));
            d.b = d.g = d.r = v;
        }
    }
}

// Destination pixel (X, Y) of the walked area reads source pixel
// (originX + ax X + bx Y, originY + ay X + by Y).
struct Walk {
    int originX, originY;
    int ax, ay, bx, by;
    int columns, rowCount;
    int dstX, dstY;
};

template <class S, class D>
void WalkConvert(const Img& src, Img& dst, const Walk& w) {
    const ptrdiff_t step =
        static_cast<ptrdiff_t>(w.ax) * static_cast<ptrdiff_t>(sizeof(S)) + static_cast<ptrdiff_t>(w.ay) * src.rowStride;
    for (int Y = 0; Y < w.rowCount; ++Y) {
        int sx = w.originX + w.bx * Y;
        int sy = w.originY + w.by * Y;
        const unsigned char* in = src.rows[sy] + static_cast<ptrdiff_t>(sx) * static_cast<ptrdiff_t>(sizeof(S));
        D* out = reinterpret_cast<D*>(dst.rows[w.dstY + Y]) + w.dstX;
        if constexpr (std::is_same_v<S, D>) {
            if (step == static_cast<ptrdiff_t>(sizeof(S))) {
                std::memcpy(out, in, sizeof(S) * static_cast<size_t>(w.columns));
                continue;
            }
        }
        for (int X = 0; X < w.columns; ++X, in += step) {
            S s;
            std::memcpy(&s, in, sizeof(S));
            Convert(s, out[X]);
        }
    }
}

// Walks src (of pixel type S) into dst, whatever dst's type.
template <class S>
void WalkInto(const Img& src, Img& dst, const Walk& w) {
    if (w.columns <= 0 || w.rowCount <= 0 || !src.HasPixels() || !dst.HasPixels())
        return;
    switch (dst.typeCode) {
    case kTypeUCHAR: WalkConvert<S, uint8_t>(src, dst, w); break;
    case kTypeSHORT: WalkConvert<S, int16_t>(src, dst, w); break;
    case kTypeINT: WalkConvert<S, int32_t>(src, dst, w); break;
    case kTypeFLOAT: WalkConvert<S, float>(src, dst, w); break;
    case kTypeDOUBLE: WalkConvert<S, double>(src, dst, w); break;
    case kTypeCPXDOUBLE: WalkConvert<S, CpxDOUBLE>(src, dst, w); break;
    case kTypeRGB: WalkConvert<S, Rgb>(src, dst, w); break;
    case kTypeRGBA: WalkConvert<S, Rgba>(src, dst, w); break;
    case kTypeRGBSHORT: WalkConvert<S, RgbSHORT>(src, dst, w); break;
    case kTypeCPXFLOAT: WalkConvert<S, CpxFLOAT>(src, dst, w); break;
    default: break;
    }
}

}  // namespace pixel
