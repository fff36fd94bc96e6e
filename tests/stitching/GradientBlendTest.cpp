#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "stitching/BlendWeight.h"
#include "stitching/Blender.h"
#include "stitching/GradientBlend.h"
#include "stitching/MixedGradients.h"
#include "stitching/PoissonSolver.h"

namespace {

ImgRGBSHORT Flat(int w, int h, short level) {
    ImgRGBSHORT img(w, h);
    img.FillRect(0, 0, w - 1, h - 1, RgbSHORT{level, level, level});
    return img;
}

// A photograph-like texture: smooth shading, edges and fine detail, channels differing.
ImgRGBSHORT Texture(int w, int h, int seed) {
    ImgRGBSHORT img(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            double v = 120 + 60 * std::sin(0.07 * x + seed) * std::cos(0.05 * y) + ((x / 9 + y / 7 + seed) % 2) * 40 +
                       (x * 7 + y * 13 + seed) % 11;
            img.At(x, y) = RgbSHORT{short(v), short(v * 0.8 + 10), short(250 - v * 0.5)};
        }
    return img;
}

// 1 right of a wavy vertical seam.
ImgUCHAR SeamMask(int w, int h, int seamX) {
    ImgUCHAR M(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            M.At(x, y) = x >= seamX + static_cast<int>(6 * std::sin(y * 0.1)) ? 1 : 0;
    return M;
}

bool SamePixels(const ImgRGBSHORT& a, const ImgRGBSHORT& b) {
    for (int y = 0; y < a.height; ++y)
        if (std::memcmp(a.Row(y), b.Row(y), sizeof(RgbSHORT) * a.width) != 0)
            return false;
    return true;
}

std::vector<double> ColumnMeans(const ImgRGBSHORT& img, int margin) {
    std::vector<double> means;
    for (int x = margin; x < img.width - margin; ++x) {
        double sum = 0;
        for (int y = margin; y < img.height - margin; ++y)
            sum += img.At(x, y).g;
        means.push_back(sum / (img.height - 2 * margin));
    }
    return means;
}

double LargestStep(const std::vector<double>& v) {
    double largest = 0;
    for (size_t i = 1; i < v.size(); ++i)
        largest = std::max(largest, std::abs(v[i] - v[i - 1]));
    return largest;
}

}  // namespace

TEST(PoissonSolve, GivesBackAnImageFromItsOwnGradients) {
    // With E = 0 the mixed gradients are B's alone (rings cleared): the solve must return B,
    // pixel for pixel, up to the slightly approximate divisor.
    int w = 150, h = 90;
    ImgRGBSHORT tex = Texture(w, h, 3);
    ImgFLOAT a(w, h), b(w, h), E(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            bool ring = x < 2 || y < 2 || x >= w - 2 || y >= h - 2;
            b.At(x, y) = ring ? 0.0f : tex.At(x, y).b;
            a.At(x, y) = 0.0f;
            E.At(x, y) = 0.0f;
        }
    stitch::PoissonSolver solver(w, h);
    EXPECT_EQ(solver.Grid().Width(), 256);
    EXPECT_EQ(solver.Grid().Height(), 128);
    stitch::MixedDivergence(a, b, E, solver.Grid());
    solver.Solve();
    double worst = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            worst = std::max(worst, double(std::abs(solver.Grid().At(x, y) - b.At(x, y))));
    EXPECT_LT(worst, 5.0);
}

TEST(MixedDivergence, OfAChannelEqualsTheDivergenceOfItsRingClearedFloatCopy) {
    // The blend reads its channels straight from the 16-bit images; it must see what a float
    // copy with its two outer rings at 0 holds, ring pixels included (their neighbours use them).
    const int w = 41, h = 23;
    ImgRGBSHORT A = Texture(w, h, 1), B = Texture(w, h, 5);
    ImgFLOAT E(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            E.At(x, y) = static_cast<float>((x * 3 + y) % 7) / 6.0f;
    for (int k = 0; k < 3; ++k) {
        ImgFLOAT a(w, h), b(w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const bool ring = x < 2 || y < 2 || x >= w - 2 || y >= h - 2;
                a.At(x, y) = ring ? 0.0f : (&A.At(x, y).b)[k];
                b.At(x, y) = ring ? 0.0f : (&B.At(x, y).b)[k];
            }
        stitch::SineGrid fromFloats(w, h), fromChannel(w, h);
        stitch::MixedDivergence(a, b, E, fromFloats);
        stitch::MixedDivergence(A, B, k, E, fromChannel);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                ASSERT_EQ(fromChannel.At(x, y), fromFloats.At(x, y)) << "channel " << k << " at " << x << ", " << y;
    }
}

TEST(GradientBlend, FlatImagesAtTwoLevelsMeetWithoutAStep) {
    int w = 240, h = 160;
    ImgRGBSHORT A = Flat(w, h, 1050), B = Flat(w, h, 1000);
    ImgUCHAR M(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            M.At(x, y) = x >= w / 2 ? 1 : 0;
    ImgRGBSHORT pasted = Flat(w, h, 1000);
    for (int y = 0; y < h; ++y)
        for (int x = w / 2; x < w; ++x)
            pasted.At(x, y) = A.At(x, y);
    EXPECT_GE(LargestStep(ColumnMeans(pasted, 3)), 50.0);

    stitch::GradientDomainBlend(A, B, M, {}, nullptr);
    std::vector<double> means = ColumnMeans(B, 3);
    EXPECT_LT(LargestStep(means), 2.0);
    // Far left of the seam B stays; the new image's side rises towards its own level.
    EXPECT_NEAR(means.front(), 1000, 1);
    EXPECT_GT(means.back(), 1025);
    EXPECT_GT(means[means.size() / 2 + 20] - means[means.size() / 2 - 20], 20);
}

TEST(GradientBlend, AnEmptySeamMaskLeavesTheBackgroundUnchanged) {
    int w = 64, h = 48;
    ImgRGBSHORT A = Texture(w, h, 1), B = Texture(w, h, 5), before = Texture(w, h, 5);
    ImgUCHAR M(w, h);
    M.FillRect(0, 0, w - 1, h - 1, 0);
    std::vector<int> steps;
    stitch::GradientDomainBlend(A, B, M, {}, [&](int s) { steps.push_back(s); });
    EXPECT_TRUE(SamePixels(B, before));
    EXPECT_EQ(steps, (std::vector<int>{7, 8, 9, 10, 11, 12, 13, 14, 15}));

    ImgFLOAT omega;
    stitch::BlendWeight(M, 30, omega);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            ASSERT_EQ(omega.At(x, y), 0.0f);
}

TEST(GradientBlend, BlendWeightRunsFromTheSeamToTheBorderWithinZeroAndOne) {
    int w = 100, h = 60;
    ImgUCHAR M = SeamMask(w, h, 50);
    M.FillRect(w - 1, 0, w - 1, h - 1, 1);  // M reaching the border ring: no 0 / 0 there
    ImgFLOAT omega;
    stitch::BlendWeight(M, 30, omega);
    EXPECT_EQ(stitch::BlendWidth(w, h, 30), 18);
    float largest = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            float v = omega.At(x, y);
            ASSERT_TRUE(v >= 0.0f && v <= 1.0f) << x << ", " << y << ": " << v;
            largest = std::max(largest, v);
            if (x == 0 || y == 0 || x == w - 1 || y == h - 1) {
                ASSERT_EQ(v, 0.0f);
            }
        }
    EXPECT_EQ(largest, 1.0f);
    EXPECT_EQ(omega.At(20, 30), 0.0f);        // more than c_w = 18 left of the seam
    EXPECT_GT(omega.At(45, 30), 0.0f);        // within c_w of it
    EXPECT_FLOAT_EQ(omega.At(70, 30), 1.0f);  // on the owned side, away from the border

    // Feathering mixes the two images with that weight.
    ImgRGBSHORT A = Flat(w, h, 2000), B = Flat(w, h, 1000);
    stitch::FeatherBlend(A, B, M, 30);
    EXPECT_EQ(B.At(70, 30).g, 2000);
    EXPECT_EQ(B.At(20, 30).g, 1000);
    EXPECT_EQ(B.At(45, 30).g,
              static_cast<short>(std::trunc(2000 * omega.At(45, 30) + (1 - omega.At(45, 30)) * 1000.0f)));
}

TEST(GradientBlend, WorkerThreadsGiveTheSameBitsAndTheSameSteps) {
    int w = 130, h = 75;
    ImgRGBSHORT A = Texture(w, h, 2), B0 = Texture(w, h, 9);
    ImgUCHAR M = SeamMask(w, h, 60);
    ImgRGBSHORT single(B0), multi(B0), three(B0);
    std::vector<int> stepsSingle, stepsMulti;
    stitch::GradientDomainBlend(A, single, M, {30, 1}, [&](int s) { stepsSingle.push_back(s); });
    stitch::GradientDomainBlend(A, multi, M, {30, 2}, [&](int s) { stepsMulti.push_back(s); });
    stitch::GradientDomainBlend(A, three, M, {30, 3}, nullptr);
    EXPECT_FALSE(SamePixels(single, B0));
    EXPECT_TRUE(SamePixels(single, multi));
    EXPECT_TRUE(SamePixels(single, three));
    EXPECT_EQ(stepsSingle, (std::vector<int>{7, 8, 9, 10, 11, 12, 13, 14, 15}));
    EXPECT_EQ(stepsMulti, stepsSingle);
}

TEST(GradientBlend, AnAbortAtAStepStopsTheBlendAndLeavesTheBackgroundAlone) {
    int w = 90, h = 70;
    ImgRGBSHORT A = Texture(w, h, 4), before = Texture(w, h, 8);
    ImgUCHAR M = SeamMask(w, h, 40);
    for (int threads : {1, 2, 3}) {
        SCOPED_TRACE(threads);
        ImgRGBSHORT B(before);
        std::vector<int> steps;
        auto abortAt11 = [&](int s) {
            steps.push_back(s);
            if (s == 11)
                throw "\nAborted!\n";
        };
        EXPECT_THROW(stitch::GradientDomainBlend(A, B, M, {30, threads}, abortAt11), const char*);
        EXPECT_EQ(steps, (std::vector<int>{7, 8, 9, 10, 11}));
        EXPECT_TRUE(SamePixels(B, before));
    }
}

// Each method behind the one interface blends as its function does, announcing the same steps;
// a blend without its rectangle or its photograph, or with pieces of other sizes, is refused.
TEST(Blender, EachMethodBlendsAsItsFunctionAndRefusesAnIncompleteBlend) {
    const int w = 96, h = 64;
    const ImgRGBSHORT A = Texture(w, h, 3), before = Texture(w, h, 11);
    const ImgUCHAR M = SeamMask(w, h, 45);

    ImgRGBSHORT direct(before), viaBlender(before);
    std::vector<int> directSteps, blenderSteps;
    stitch::GradientDomainBlend(A, direct, M, {30, 0}, [&](int s) { directSteps.push_back(s); });
    const std::unique_ptr<stitch::Blender> gradient = stitch::MakeBlender(stitch::BlendMethod::GradientDomain, 30);
    gradient->Prepare(viaBlender);
    gradient->Feed(A, M);
    gradient->Finish([&](int s) { blenderSteps.push_back(s); });
    EXPECT_TRUE(SamePixels(direct, viaBlender));
    EXPECT_FALSE(SamePixels(viaBlender, before));
    EXPECT_EQ(blenderSteps, directSteps);

    ImgRGBSHORT feathered(before), viaFeathering(before);
    stitch::FeatherBlend(A, feathered, M, 20);
    const std::unique_ptr<stitch::Blender> feathering = stitch::MakeBlender(stitch::BlendMethod::Feathering, 20);
    EXPECT_STRNE(feathering->Name(), gradient->Name());
    feathering->Prepare(viaFeathering);
    feathering->Feed(A, M);
    feathering->Finish(nullptr);
    EXPECT_TRUE(SamePixels(feathered, viaFeathering));

    // Finished without being fed (a second Finish, after the first one has let go of its pieces).
    EXPECT_THROW(feathering->Finish(nullptr), const char*);
    ImgRGBSHORT small = Texture(w / 2, h, 1);
    gradient->Prepare(small);
    gradient->Feed(A, M);
    EXPECT_THROW(gradient->Finish(nullptr), const char*);
    EXPECT_TRUE(SamePixels(small, Texture(w / 2, h, 1)));
}

// The blend's Poisson solve on grids padded to fast transform lengths moves the result only a
// little from the power-of-two grids it was first solved on: the zero boundary lies nearer.
TEST(GradientBlend, PaddedGridsStayWithin45DecibelsOfThePowerOfTwoGrids) {
    for (const auto& size : {std::pair{130, 75}, std::pair{300, 220}, std::pair{513, 257}}) {
        const int w = size.first, h = size.second;
        SCOPED_TRACE(testing::Message() << w << " x " << h);
        ImgRGBSHORT A = Texture(w, h, 5), B0 = Texture(w, h, 2);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                A.At(x, y).g = static_cast<short>(A.At(x, y).g + 40);  // an exposure step to blend away
        const ImgUCHAR M = SeamMask(w, h, w / 2);
        ImgRGBSHORT padded(B0), power(B0);
        stitch::GradientBlendSettings settings;
        settings.grid = stitch::PoissonGrid::PowerOfTwo;
        stitch::GradientDomainBlend(A, power, M, settings, nullptr);
        settings.grid = stitch::PoissonGrid::Padded;
        stitch::GradientDomainBlend(A, padded, M, settings, nullptr);
        double squared = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const RgbSHORT &p = padded.At(x, y), &q = power.At(x, y);
                squared += (p.b - q.b) * (p.b - q.b) + (p.g - q.g) * (p.g - q.g) + (p.r - q.r) * (p.r - q.r);
            }
        const double mse = squared / (3.0 * w * h);
        EXPECT_GT(10 * std::log10(255.0 * 255.0 / std::max(mse, 1e-12)), 45.0);
        EXPECT_FALSE(SamePixels(padded, B0));
    }
}
