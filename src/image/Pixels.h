#pragma once

#include <cstdint>

// Colour pixels are stored blue first, the order in which decoded files fill images and in
// which textures are handed to OpenGL.
struct Rgb {
    uint8_t b, g, r;
};

struct Rgba {
    uint8_t b, g, r, a;
};

struct RgbSHORT {
    int16_t b, g, r;
};

struct CpxFLOAT {
    float re, im;
};

static_assert(sizeof(Rgb) == 3 && sizeof(Rgba) == 4 && sizeof(RgbSHORT) == 6 && sizeof(CpxFLOAT) == 8,
              "pixel types must not be padded");

// Type codes stored in every image and in raw image files.
enum ImageTypeCode : int {
    kTypeUCHAR = 0,
    kTypeSHORT = 1,  // written by conversions only; no image class holds it
    kTypeINT = 2,
    kTypeFLOAT = 3,
    kTypeDOUBLE = 4,
    kTypeCPXDOUBLE = 5,  // as code 1
    kTypeRGB = 6,
    kTypeRGBA = 7,
    kTypeRGBSHORT = 8,
    kTypeCPXFLOAT = 9,
};

int BytesPerPixelOf(int typeCode);
