#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "image/ImgTypes.h"

namespace {

// Channel views written out here so the reference does not lean on the library's traits.
template <class T>
constexpr int Channels() {
    return 1;
}
template <>
constexpr int Channels<Rgb>() {
    return 3;
}
template <>
constexpr int Channels<Rgba>() {
    return 4;
}
template <>
constexpr int Channels<RgbSHORT>() {
    return 3;
}
template <>
constexpr int Channels<CpxFLOAT>() {
    return 2;
}

template <class T>
double ChannelValue(const T& p, int c) {
    if constexpr (std::is_arithmetic_v<T>)
        return static_cast<double>(p);
    else if constexpr (std::is_same_v<T, CpxFLOAT>)
        return c == 0 ? p.re : p.im;
    else if constexpr (std::is_same_v<T, Rgba>)
        return c == 0 ? p.b : c == 1 ? p.g : c == 2 ? p.r : p.a;
    else
        return c == 0 ? p.b : c == 1 ? p.g : p.r;
}

template <class T>
void Randomise(ImgT<T>& img, std::mt19937& random) {
    for (int y = 0; y < img.height; ++y) {
        unsigned char* row = img.RowBytes(y);
        for (int x = 0; x < img.width; ++x) {
            T p;
            if constexpr (std::is_floating_point_v<T>) {
                p = static_cast<T>(std::uniform_real_distribution<double>(-50, 300)(random));
            } else if constexpr (std::is_same_v<T, CpxFLOAT>) {
                p.re = std::uniform_real_distribution<float>(-5, 5)(random);
                p.im = std::uniform_real_distribution<float>(-5, 5)(random);
            } else if constexpr (std::is_same_v<T, int32_t>) {
                p = static_cast<int32_t>(random() % 100000) - 50000;
            } else {
                unsigned char bytes[sizeof(T)];
                for (auto& b : bytes)
                    b = static_cast<unsigned char>(random() % 256);
                if constexpr (std::is_same_v<T, RgbSHORT>)
                    for (size_t k = 1; k < sizeof(T); k += 2)
                        bytes[k] &= 0x0F;  // keep channels modest so truncation stays well defined
                std::memcpy(&p, bytes, sizeof(T));
            }
            std::memcpy(row + x * sizeof(T), &p, sizeof(T));
        }
    }
}

// Straightforward correlation with clamped coordinates, in double.
template <class T>
double Reference(const ImgT<T>& src, const ImgFLOAT& kernel, int i, int j, int stepY, int stepX, int c) {
    int hx = kernel.width / 2, hy = kernel.height / 2;
    double sum = 0;
    for (int ky = -hy; ky <= hy; ++ky)
        for (int kx = -hx; kx <= hx; ++kx) {
            int sy = std::clamp(i * stepY + ky, 0, src.height - 1);
            int sx = std::clamp(j * stepX + kx, 0, src.width - 1);
            sum += kernel.At(kx + hx, ky + hy) * ChannelValue(src.At(sx, sy), c);
        }
    return sum;
}

template <class Image>
void CheckAgainstReference() {
    using T = typename Image::Pixel;
    std::mt19937 random(99);
    for (int size : {3, 5}) {
        ImgFLOAT kernel(size, size);
        float total = 0;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                kernel.At(x, y) = static_cast<float>(1 + (x * 7 + y * 3) % 5);  // not symmetric
                total += kernel.At(x, y);
            }
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x)
                kernel.At(x, y) /= total;
        for (int step : {1, 2}) {
            Image src(23, 13);
            Randomise(src, random);
            int outW = static_cast<int>(std::round(23.0f / step)), outH = static_cast<int>(std::round(13.0f / step));
            Image dst(outW, outH);
            src.FilterDecimate(kernel, dst, step, step);
            for (int i = 0; i < outH; ++i)
                for (int j = 0; j < outW; ++j)
                    for (int c = 0; c < Channels<T>(); ++c) {
                        double expected = Reference(src, kernel, i, j, step, step, c);
                        double got = ChannelValue(dst.At(j, i), c);
                        if constexpr (std::is_floating_point_v<T> || std::is_same_v<T, CpxFLOAT>) {
                            EXPECT_NEAR(got, expected, 1e-4 * (1 + std::fabs(expected)))
                                << "kernel " << size << " step " << step << " at " << j << "," << i;
                        } else {
                            // Stored by truncation; single-precision sums may land a hair either side.
                            double truncated = std::trunc(expected);
                            EXPECT_LE(std::fabs(got - truncated), 1.0)
                                << "kernel " << size << " step " << step << " at " << j << "," << i << " c " << c;
                        }
                    }
        }
    }
}

}  // namespace

TEST(FilterDecimate, MatchesReferenceForEveryPixelType) {
    CheckAgainstReference<ImgUCHAR>();
    CheckAgainstReference<ImgINT>();
    CheckAgainstReference<ImgFLOAT>();
    CheckAgainstReference<ImgDOUBLE>();
    CheckAgainstReference<ImgRGB>();
    CheckAgainstReference<ImgRGBA>();
    CheckAgainstReference<ImgRGBSHORT>();
    CheckAgainstReference<ImgCPXFLOAT>();
}

TEST(FilterDecimate, OutputSizeRoundsAndRespectsDestination) {
    ImgFLOAT kernel(1, 1);
    kernel.At(0, 0) = 1;
    ImgFLOAT src(5, 5);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x)
            src.At(x, y) = float(10 * y + x);
    ImgFLOAT dst(4, 4);
    dst.FillRect(0, 0, 3, 3, -1);
    src.FilterDecimate(kernel, dst, 2, 2);  // round(2.5) = 3 rows and columns
    EXPECT_EQ(dst.At(2, 2), 44);
    EXPECT_EQ(dst.At(1, 0), 2);
    EXPECT_EQ(dst.At(3, 3), -1);
    ImgFLOAT small(2, 1);
    src.FilterDecimate(kernel, small, 2, 2);
    EXPECT_EQ(small.At(1, 0), 2);
}
