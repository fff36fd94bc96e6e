#pragma once

// The eight concrete image classes: each fixes a pixel type and its type code.
#include <cstdint>

#include "image/ImgT.h"

#define VEDORA_IMAGE_CLASS(Name, PixelType, Code)                                                                      \
    class Name : public ImgT<PixelType> {                                                                              \
    public:                                                                                                            \
        Name() : ImgT<PixelType>(Code) {}                                                                              \
        Name(int w, int h) : ImgT<PixelType>(Code, w, h) {}                                                            \
        Name(int w, int h, void* memory) : ImgT<PixelType>(Code, w, h, memory) {}                                      \
        Name(const Name& source) : ImgT<PixelType>(Code, source) {}                                                    \
        explicit Name(const ImgT<PixelType>& source) : ImgT<PixelType>(Code, source) {}                                \
        Name& operator=(const Name& source) {                                                                          \
            CopyFrom(source);                                                                                          \
            return *this;                                                                                              \
        }                                                                                                              \
        Name(Name&& source) noexcept : ImgT<PixelType>(Code) { TakeOver(source); }                                     \
        Name& operator=(Name&& source) noexcept {                                                                      \
            TakeOver(source);                                                                                          \
            return *this;                                                                                              \
        }                                                                                                              \
    };

VEDORA_IMAGE_CLASS(ImgUCHAR, uint8_t, kTypeUCHAR)
VEDORA_IMAGE_CLASS(ImgINT, int32_t, kTypeINT)
VEDORA_IMAGE_CLASS(ImgFLOAT, float, kTypeFLOAT)
VEDORA_IMAGE_CLASS(ImgDOUBLE, double, kTypeDOUBLE)
VEDORA_IMAGE_CLASS(ImgRGB, Rgb, kTypeRGB)
VEDORA_IMAGE_CLASS(ImgRGBA, Rgba, kTypeRGBA)
VEDORA_IMAGE_CLASS(ImgRGBSHORT, RgbSHORT, kTypeRGBSHORT)
VEDORA_IMAGE_CLASS(ImgCPXFLOAT, CpxFLOAT, kTypeCPXFLOAT)

#undef VEDORA_IMAGE_CLASS

template <class T>
struct ConcreteImage;
template <>
struct ConcreteImage<uint8_t> {
    using type = ImgUCHAR;
};
template <>
struct ConcreteImage<int32_t> {
    using type = ImgINT;
};
template <>
struct ConcreteImage<float> {
    using type = ImgFLOAT;
};
template <>
struct ConcreteImage<double> {
    using type = ImgDOUBLE;
};
template <>
struct ConcreteImage<Rgb> {
    using type = ImgRGB;
};
template <>
struct ConcreteImage<Rgba> {
    using type = ImgRGBA;
};
template <>
struct ConcreteImage<RgbSHORT> {
    using type = ImgRGBSHORT;
};
template <>
struct ConcreteImage<CpxFLOAT> {
    using type = ImgCPXFLOAT;
};

// The clone of a view is a view; emptyOnly gives the same class and size, contents undefined.
template <class T>
Img* ImgT<T>::Clone(bool emptyOnly) const {
    using Concrete = typename ConcreteImage<T>::type;
    if (emptyOnly)
        return new Concrete(width, height);
    return new Concrete(*this);
}

extern template class ImgT<uint8_t>;
extern template class ImgT<int32_t>;
extern template class ImgT<float>;
extern template class ImgT<double>;
extern template class ImgT<Rgb>;
extern template class ImgT<Rgba>;
extern template class ImgT<RgbSHORT>;
extern template class ImgT<CpxFLOAT>;
