#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "image/GaussianSmooth.h"
#include "image/ImgTypes.h"

namespace {

// The same recursion on one signal, written out plainly.
void FilterSignal(std::vector<float>& x, const GaussianCoefficients& k) {
    int n = static_cast<int>(x.size());
    std::vector<float> w(x.size());
    float gB = k.g + k.B;
    w[0] = gB * x[0];
    w[1] = k.B * x[1] + k.g * x[0];
    w[2] = k.B * x[2] + k.g * x[0];
    for (int i = 3; i < n; ++i)
        w[i] = k.B * x[i] + k.a1 * w[i - 1] + k.a2 * w[i - 2] + k.a3 * w[i - 3];
    x[n - 1] = gB * w[n - 1];
    x[n - 2] = k.B * w[n - 2] + k.g * w[n - 1];
    x[n - 3] = k.B * w[n - 3] + k.g * w[n - 1];
    for (int i = n - 4; i >= 0; --i)
        x[i] = k.B * w[i] + k.a1 * x[i + 1] + k.a2 * x[i + 2] + k.a3 * x[i + 3];
}

void ScalarSmooth(ImgFLOAT& img, double sigma) {
    GaussianCoefficients k = GaussianCoefficientsFor(sigma);
    for (int y = 0; y < img.height; ++y) {
        std::vector<float> row(img.Row(y), img.Row(y) + img.width);
        FilterSignal(row, k);
        std::copy(row.begin(), row.end(), img.Row(y));
    }
    for (int x = 0; x < img.width; ++x) {
        std::vector<float> column(static_cast<size_t>(img.height));
        for (int y = 0; y < img.height; ++y)
            column[y] = img.At(x, y);
        FilterSignal(column, k);
        for (int y = 0; y < img.height; ++y)
            img.At(x, y) = column[y];
    }
}

double SpreadOf(const ImgFLOAT& img, int cx, int cy, double* total) {
    double sum = 0, second = 0;
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x) {
            double v = img.At(x, y);
            sum += v;
            second += v * ((x - cx) * (x - cx) + (y - cy) * (y - cy));
        }
    *total = sum;
    return std::sqrt(second / sum / 2);
}

}  // namespace

TEST(GaussianSmooth, ConstantStaysConstantAndSmallImagesAreLeftAlone) {
    for (double sigma : {0.0, 0.5, 1.8, 3.6, 30.0}) {
        ImgFLOAT img(17, 9);
        img.FillRect(0, 0, 16, 8, 42.0f);
        GaussianSmooth(img, sigma);
        for (int y = 0; y < 9; ++y)
            for (int x = 0; x < 17; ++x)
                // single-precision coefficients leave a gain error of about 1e-4 at large sigma
                ASSERT_NEAR(img.At(x, y), 42.0f, 42 * 3e-4) << sigma;
    }
    ImgFLOAT narrow(3, 100), low(100, 3);
    std::mt19937 random(1);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 3; ++x) {
            narrow.At(x, y) = float(random() % 100);
            low.At(y, x) = float(random() % 100);
        }
    ImgFLOAT narrowCopy(narrow), lowCopy(low);
    GaussianSmooth(narrow, 2);
    GaussianSmooth(low, 2);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(narrow.At(x, y), narrowCopy.At(x, y));
            EXPECT_EQ(low.At(y, x), lowCopy.At(y, x));
        }
    ImgFLOAT four(4, 4);
    four.FillRect(0, 0, 3, 3, 0);
    four.At(1, 1) = 16;
    GaussianSmooth(four, 1);
    EXPECT_LT(four.At(1, 1), 16);
    EXPECT_GT(four.At(2, 2), 0);
}

TEST(GaussianSmooth, MatchesScalarRecursionOnAwkwardSizes) {
    std::mt19937 random(4);
    std::uniform_real_distribution<float> value(0, 255);
    // The last size is shared between the cores, with lines left over after the 16-line blocks.
    for (auto [w, h] : {std::pair{4, 5}, {13, 7}, {6, 11}, {33, 17}, {8, 8}, {531, 503}}) {
        for (double sigma : {0.7, 2.5, 9.0}) {
            ImgFLOAT img(w, h);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    img.At(x, y) = value(random);
            ImgFLOAT expected(img);
            ScalarSmooth(expected, sigma);
            GaussianSmooth(img, sigma);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    ASSERT_NEAR(img.At(x, y), expected.At(x, y), 1e-4 * std::fabs(expected.At(x, y)) + 1e-4)
                        << w << "x" << h << " sigma " << sigma << " at " << x << "," << y;
        }
    }
}

TEST(GaussianSmooth, ImpulseSpreadsIntoABellThatWidensWithSigma) {
    double previous = 0;
    for (double sigma : {1.0, 2.0, 4.0, 8.0}) {
        ImgFLOAT img(129, 127);
        img.FillRect(0, 0, 128, 126, 0);
        img.At(64, 63) = 1000;
        GaussianSmooth(img, sigma);
        double total;
        double spread = SpreadOf(img, 64, 63, &total);
        EXPECT_NEAR(total, 1000, 10) << sigma;
        EXPECT_NEAR(spread, sigma, 0.25 * sigma) << sigma;
        EXPECT_GT(spread, previous);
        previous = spread;
        // Bell-shaped: falls off monotonically from the centre along a row.
        for (int x = 65; x < 100; ++x)
            EXPECT_LE(img.At(x, 63), img.At(x - 1, 63) + 1e-6f);
        EXPECT_NEAR(img.At(70, 63), img.At(58, 63), 0.05 * img.At(58, 63) + 1e-5);
    }
}
