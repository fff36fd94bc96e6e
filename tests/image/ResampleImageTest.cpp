#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "image/ImgTypes.h"
#include "image/ResampleImage.h"
#include "image/WarpImage.h"

namespace {

// The warp's reference: every destination pixel through the inverse transform and the
// image's own Interpolate, with the same validity rule.
template <class Image>
void ReferenceWarp(const Image& src, Image& dst, const CMatrix& transform) {
    CMatrix inverse = transform.Inverse();
    for (int y = 0; y < dst.height; ++y)
        for (int x = 0; x < dst.width; ++x) {
            double w = inverse(2, 0) * x + inverse(2, 1) * y + inverse(2, 2);
            double sx = (inverse(0, 0) * x + inverse(0, 1) * y + inverse(0, 2)) / w;
            double sy = (inverse(1, 0) * x + inverse(1, 1) * y + inverse(1, 2)) / w;
            if (!(sx > -1 && sy > -1 && sx < src.width && sy < src.height))
                continue;
            int col = static_cast<int>(sx), row = static_cast<int>(sy);
            if (col + 1 < src.width && row + 1 < src.height)
                src.Interpolate(&dst.At(x, y), sx, sy, col, row);
        }
}

}  // namespace

TEST(ResampleImage, ResampleCopiesAtScaleOneAndSmoothsWhenReducing) {
    ImgFLOAT src(40, 30);
    std::mt19937 random(2);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            src.At(x, y) = float(random() % 256);
    ImgFLOAT same;
    ResampleImage(src, same, 1.0, 0.7355);
    ASSERT_EQ(same.width, 40);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            ASSERT_EQ(same.At(x, y), src.At(x, y));
    ImgFLOAT half;
    ResampleImage(src, half, 0.5, 0.7355);
    EXPECT_EQ(half.width, 20);
    EXPECT_EQ(half.height, 15);
    // Smoothed before sampling: the spread of the values shrinks.
    float lo, hi, slo, shi;
    half.MinMax(1, 1, 18, 13, &lo, &hi);
    src.MinMax(0, 0, 39, 29, &slo, &shi);
    EXPECT_GT(lo, slo + 20);
    EXPECT_LT(hi, shi - 20);
    // The warp samples source (X / s, Y / s).
    ImgFLOAT ramp(40, 30);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            ramp.At(x, y) = float(x + 100 * y);
    ImgFLOAT sampled;
    ResampleImage(ramp, sampled, 0.5, 0);
    EXPECT_FLOAT_EQ(sampled.At(3, 2), 6 + 400);
}

TEST(ResampleImage, ResampledImagesHaveNoUnwrittenPixels) {
    // Enlarging leaves the last column and row outside the sampler's reach; they must still
    // hold image values, whatever the memory held before.
    for (int round = 0; round < 3; ++round) {
        ImgFLOAT garbage(800, 600);
        garbage.FillRect(0, 0, 799, 599, -1e30f);
    }
    ImgFLOAT src(640, 480);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            src.At(x, y) = float((x + y) % 200);
    for (double scale : {1.25, 0.6, 0.3}) {
        ImgFLOAT copy(src), result;
        ResampleImageConsuming(copy, result, scale, 0.7355);
        float lo, hi;
        ASSERT_EQ(result.MinMax(0, 0, result.width - 1, result.height - 1, &lo, &hi), 0);
        EXPECT_GE(lo, 0) << scale;
        EXPECT_LE(hi, 200) << scale;
        EXPECT_FALSE(std::isnan(result.At(result.width - 1, result.height - 1)));
        if (scale > 1) {  // enlarged: the last column copies its neighbour
            EXPECT_EQ(result.At(result.width - 1, 10), result.At(result.width - 2, 10));
        }
    }
}

TEST(WarpImage, ExactWarpEqualsTheImagesOwnSamplerForEveryPixelType) {
    const double c = std::cos(0.3) * 1.1, s = std::sin(0.3) * 1.1;
    const double m[] = {c, -s, 12, s, c, -7, 0.0004, -0.0002, 1};
    CMatrix transform(3, 3, m);
    auto check = [&](auto src, auto fill, int dw = 45, int dh = 40) {
        using Image = decltype(src);
        for (size_t k = 0; k < src.ByteCount(); ++k)
            src.pixels[k] = static_cast<unsigned char>(k * 13 + (k >> 5));
        fill(src);
        // Two runs over different backgrounds tell the written pixels from the untouched.
        Image fast(dw, dh), again(dw, dh), reference(dw, dh);
        for (size_t k = 0; k < fast.ByteCount(); ++k) {
            fast.pixels[k] = reference.pixels[k] = 0x55;
            again.pixels[k] = 0xAA;
        }
        ASSERT_TRUE(WarpImage(src, fast, transform, true));
        ASSERT_TRUE(WarpImage(src, again, transform, true));
        ReferenceWarp(src, reference, transform);
        size_t written = 0;
        for (size_t k = 0; k < fast.ByteCount(); ++k) {
            if (fast.pixels[k] != again.pixels[k])
                continue;
            ++written;
            ASSERT_EQ(fast.pixels[k], reference.pixels[k]) << "byte " << k;
        }
        EXPECT_GT(written, fast.ByteCount() / 3);
    };
    auto noFill = [](auto&) {};
    check(ImgUCHAR(37, 29), noFill);
    check(ImgRGB(37, 29), noFill);
    check(ImgRGBA(37, 29), noFill);
    check(ImgRGBSHORT(37, 29), noFill);
    check(ImgFLOAT(37, 29), [](ImgFLOAT& f) {
        for (int y = 0; y < f.height; ++y)
            for (int x = 0; x < f.width; ++x)
                f.At(x, y) = float(x * 3 + y * 7 % 11);
    });
    // A destination large enough for its rows to be shared between the cores.
    check(ImgRGBSHORT(600, 520), noFill, 620, 500);
    ImgRGB a(10, 10);
    ImgFLOAT b(10, 10);
    EXPECT_FALSE(WarpImage(a, b, transform, true));  // types differ
}

TEST(WarpImage, EnlargingSamplesTheWholeRowNotItsFirstPixel) {
    // A ramp enlarged twice: every pixel the span-interpolated warp writes lies on the ramp,
    // exactly as the per-pixel mapping gives it.
    ImgFLOAT ramp(40, 30);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            ramp.At(x, y) = float(x + 100 * y);
    const double m[] = {2, 0, 0, 0, 2, 0, 0, 0, 1};
    ImgFLOAT spans(80, 60), exact(80, 60);
    spans.FillRect(0, 0, 79, 59, -1);
    exact.FillRect(0, 0, 79, 59, -1);
    ASSERT_TRUE(WarpImage(ramp, spans, CMatrix(3, 3, m), false));
    ASSERT_TRUE(WarpImage(ramp, exact, CMatrix(3, 3, m), true));
    int written = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 80; ++x) {
            if (exact.At(x, y) < 0)
                continue;
            ++written;
            EXPECT_NEAR(spans.At(x, y), x / 2.0 + 100 * (y / 2.0), 1e-3) << x << "," << y;
        }
    EXPECT_GT(written, 76 * 56);
    ImgFLOAT enlarged;
    ResampleImage(ramp, enlarged, 2.0, 0.7355);
    EXPECT_NEAR(enlarged.At(70, 20), 35 + 1000, 1e-3);
}
