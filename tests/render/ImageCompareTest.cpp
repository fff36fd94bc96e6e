// PSNR of panoramas against their ground truth.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "render/ImageCompare.h"
#include "support/RenderedViews.h"

TEST(Psnr, IdenticalShiftedOffsetAndMasked) {
    ImgRGB a = render::RenderView(TestWorld(), View(20, 0, 0, 300, 240, 180));
    render::PsnrResult same = render::Psnr(a, ImgRGB(a));
    EXPECT_TRUE(std::isinf(same.decibels));
    EXPECT_GT(same.decibels, 0);
    EXPECT_EQ(same.pixels, 240L * 180);

    // Every channel 5 levels off: mean squared error 25, 10 log10(255^2 / 25) dB.
    ImgRGB ramp(50, 40), brighter(50, 40);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 50; ++x) {
            uint8_t v = static_cast<uint8_t>(10 + 4 * x + y);
            ramp.At(x, y) = Rgb{v, static_cast<uint8_t>(v + 1), static_cast<uint8_t>(v + 2)};
            brighter.At(x, y) =
                Rgb{static_cast<uint8_t>(v + 5), static_cast<uint8_t>(v + 6), static_cast<uint8_t>(v - 3)};
        }
    EXPECT_NEAR(render::Psnr(ramp, brighter).decibels, 10 * std::log10(255.0 * 255.0 / 25), 1e-9);
    EXPECT_NEAR(render::Psnr(ramp, brighter).meanSquaredError, 25, 1e-12);

    ImgRGB shifted(a);
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x)
            shifted.At(x, y) = a.At(std::min(x + 2, a.width - 1), y);
    // A photograph shifted by two pixels scores far lower than the same photograph.
    double shiftedDb = render::Psnr(a, shifted).decibels;
    EXPECT_LT(shiftedDb, 30);
    EXPECT_GT(shiftedDb, 10);

    // Only masked pixels count: the shifted copy differs nowhere in a uniform patch of it.
    ImgRGB flat(a), flatShifted(shifted);
    flat.FillRect(0, 0, 99, 99, Rgb{10, 20, 30});
    flatShifted.FillRect(0, 0, 99, 99, Rgb{10, 20, 30});
    ImgUCHAR mask(a.width, a.height);
    mask.FillRect(0, 0, a.width - 1, a.height - 1, 0);
    mask.FillRect(0, 0, 97, 99, 255);
    render::PsnrResult masked = render::Psnr(flat, flatShifted, &mask);
    EXPECT_TRUE(std::isinf(masked.decibels));
    EXPECT_EQ(masked.pixels, 98L * 100);
    EXPECT_LT(render::Psnr(flat, flatShifted).decibels, 40);
}

TEST(Psnr, RefusesMismatchedOrEmptyInput) {
    ImgRGB a(10, 10), b(10, 11);
    a.FillRect(0, 0, 9, 9, Rgb{1, 2, 3});
    EXPECT_THROW(render::Psnr(a, b), render::CompareError);
    ImgUCHAR wrongMask(9, 10), emptyMask(10, 10);
    EXPECT_THROW(render::Psnr(a, a, &wrongMask), render::CompareError);
    emptyMask.FillRect(0, 0, 9, 9, 0);
    EXPECT_THROW(render::Psnr(a, a, &emptyMask), render::CompareError);
    EXPECT_THROW(render::Psnr(ImgRGB(), ImgRGB()), render::CompareError);
}

TEST(Psnr, MaskImagesRoundTrip) {
    ImgUCHAR mask(4, 2);
    mask.FillRect(0, 0, 3, 1, 0);
    mask.At(1, 0) = 255;
    mask.At(3, 1) = 7;
    ImgUCHAR back = render::MaskFromImage(render::ImageFromMask(mask));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(back.At(x, y) != 0, mask.At(x, y) != 0) << x << "," << y;
}

TEST(Psnr, AFittedExposureForgivesALevelStretchButNotAShift) {
    // A photograph and the same with every level squeezed (0.6 v + 40, as a stitcher's tonal
    // steps might): the plain measure sees the change, the fitted one forgives all but rounding.
    const ImgRGB a = render::RenderView(TestWorld(), View(20, 0, 0, 300, 240, 180));
    ImgRGB stretched(a.width, a.height);
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x) {
            const Rgb p = a.At(x, y);
            auto level = [](uint8_t v) {
                return static_cast<uint8_t>(std::clamp(std::lround(0.6 * v + 40), 0L, 255L));
            };
            stretched.At(x, y) = Rgb{level(p.b), level(p.g), level(p.r)};
        }
    EXPECT_LT(render::Psnr(stretched, a).decibels, 25);
    EXPECT_GT(render::PsnrWithFittedExposure(stretched, a).decibels, 40);
    // A picture moved by three pixels stays as far off with the fit as without it.
    const ImgRGB moved = render::RenderView(TestWorld(), View(20.6, 0, 0, 300, 240, 180));
    EXPECT_LT(render::PsnrWithFittedExposure(moved, a).decibels, render::Psnr(moved, a).decibels + 1);
    EXPECT_LT(render::PsnrWithFittedExposure(moved, a).decibels, 30);
    EXPECT_THROW(render::PsnrWithFittedExposure(a, ImgRGB(10, 10)), render::CompareError);
}
