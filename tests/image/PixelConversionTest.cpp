#include <gtest/gtest.h>

#include "image/ImgTypes.h"

namespace {

template <class Dst, class Src>
typename Dst::Pixel ConvertOne(const typename Src::Pixel& value) {
    Src src(1, 1);
    src.At(0, 0) = value;
    Dst dst(1, 1);
    EXPECT_EQ(src.CopyTo(dst), 0);
    return dst.At(0, 0);
}

}  // namespace

TEST(PixelConversion, ScalarsTruncateAndKeepLowBits) {
    EXPECT_EQ((ConvertOne<ImgUCHAR, ImgFLOAT>(300.7f)), 44);
    EXPECT_EQ((ConvertOne<ImgUCHAR, ImgFLOAT>(-1.5f)), 255);
    EXPECT_EQ((ConvertOne<ImgUCHAR, ImgINT>(513)), 1);
    EXPECT_EQ((ConvertOne<ImgINT, ImgDOUBLE>(-7.9)), -7);
    EXPECT_FLOAT_EQ((ConvertOne<ImgFLOAT, ImgINT>(-12)), -12.0f);
    EXPECT_DOUBLE_EQ((ConvertOne<ImgDOUBLE, ImgUCHAR>(200)), 200.0);
    CpxFLOAT c = ConvertOne<ImgCPXFLOAT, ImgFLOAT>(2.5f);
    EXPECT_FLOAT_EQ(c.re, 2.5f);
    EXPECT_FLOAT_EQ(c.im, 0);
    Rgb fromFloat = ConvertOne<ImgRGB, ImgFLOAT>(258.9f);
    EXPECT_EQ(fromFloat.b, 2);
    EXPECT_EQ(fromFloat.g, 2);
    EXPECT_EQ(fromFloat.r, 2);
    Rgba alpha = ConvertOne<ImgRGBA, ImgUCHAR>(9);
    EXPECT_EQ(alpha.r, 9);
    EXPECT_EQ(alpha.a, 255);
    RgbSHORT wide = ConvertOne<ImgRGBSHORT, ImgINT>(-1);
    EXPECT_EQ(wide.b, 255);  // to byte first, so 0..255
    // Out-of-range and NaN floats convert without fault to the processor's integer result.
    EXPECT_EQ((ConvertOne<ImgUCHAR, ImgFLOAT>(1e20f)), 0);
}

TEST(PixelConversion, ColourAndComplexRows) {
    EXPECT_EQ((ConvertOne<ImgUCHAR, ImgRGB>(Rgb{200, 100, 50})), 126);
    EXPECT_FLOAT_EQ((ConvertOne<ImgFLOAT, ImgRGB>(Rgb{200, 100, 50})), 126.0f);
    EXPECT_FLOAT_EQ((ConvertOne<ImgCPXFLOAT, ImgRGBA>(Rgba{200, 100, 50, 1})).re, 126.0f);
    Rgba fromRgb = ConvertOne<ImgRGBA, ImgRGB>(Rgb{1, 2, 3});
    EXPECT_EQ(fromRgb.b, 1);
    EXPECT_EQ(fromRgb.r, 3);
    EXPECT_EQ(fromRgb.a, 255);
    Rgba keep = ConvertOne<ImgRGBA, ImgRGBA>(Rgba{1, 2, 3, 4});
    EXPECT_EQ(keep.a, 4);
    Rgb dropped = ConvertOne<ImgRGB, ImgRGBA>(Rgba{5, 6, 7, 8});
    EXPECT_EQ(dropped.g, 6);
    RgbSHORT widened = ConvertOne<ImgRGBSHORT, ImgRGB>(Rgb{255, 0, 128});
    EXPECT_EQ(widened.b, 255);
    EXPECT_EQ(widened.r, 128);

    // RgbSHORT: signed gray with truncation toward zero, low bytes into 8-bit colour.
    EXPECT_EQ((ConvertOne<ImgINT, ImgRGBSHORT>(RgbSHORT{-100, -100, -100})), -100);
    EXPECT_EQ((ConvertOne<ImgINT, ImgRGBSHORT>(RgbSHORT{-3, 0, 0})), -1);  // -33/32 -> -1
    EXPECT_FLOAT_EQ((ConvertOne<ImgFLOAT, ImgRGBSHORT>(RgbSHORT{320, 320, 320})), 320.0f);
    Rgb low = ConvertOne<ImgRGB, ImgRGBSHORT>(RgbSHORT{256 + 7, -1, 300});
    EXPECT_EQ(low.b, 7);
    EXPECT_EQ(low.g, 255);
    EXPECT_EQ(low.r, 44);
    Rgba lowA = ConvertOne<ImgRGBA, ImgRGBSHORT>(RgbSHORT{1, 2, 3});
    EXPECT_EQ(lowA.a, 255);

    CpxFLOAT z{300.5f, -2};
    EXPECT_EQ((ConvertOne<ImgUCHAR, ImgCPXFLOAT>(z)), 44);
    EXPECT_FLOAT_EQ((ConvertOne<ImgFLOAT, ImgCPXFLOAT>(z)), 300.5f);
    EXPECT_FLOAT_EQ((ConvertOne<ImgCPXFLOAT, ImgCPXFLOAT>(z)).im, -2);
    Rgb fromComplex = ConvertOne<ImgRGB, ImgCPXFLOAT>(z);
    EXPECT_EQ(fromComplex.g, 44);
    RgbSHORT shortFromComplex = ConvertOne<ImgRGBSHORT, ImgCPXFLOAT>(z);
    EXPECT_EQ(shortFromComplex.r, 44);
}

TEST(PixelConversion, WholeImageCopyConvertsEveryRow) {
    ImgRGB src(37, 5);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 37; ++x)
            src.At(x, y) = Rgb{uint8_t(x), uint8_t(y * 40), uint8_t(x + y)};
    ImgFLOAT gray(37, 5);
    EXPECT_EQ(src.CopyTo(gray), 0);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 37; ++x)
            EXPECT_EQ(gray.At(x, y), float((11 * x + 16 * y * 40 + 5 * (x + y)) / 32));
    ImgFLOAT fromCopy(ImgFLOAT{gray});
    EXPECT_EQ(fromCopy.At(36, 4), gray.At(36, 4));
}
