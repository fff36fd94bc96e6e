#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "stitching/RenderMasks.h"

TEST(RenderMasks, TentWeightPeaksInTheMiddleWithIntegerHalves) {
    ImgFLOAT T;
    stitch::TentWeight(5, 4, T);  // halves 2 and 2
    EXPECT_FLOAT_EQ(T.At(2, 2), 1.0f);
    EXPECT_FLOAT_EQ(T.At(0, 2), 0.0f);
    EXPECT_FLOAT_EQ(T.At(4, 2), 0.0f);
    EXPECT_FLOAT_EQ(T.At(2, 0), 0.0f);
    EXPECT_FLOAT_EQ(T.At(1, 1), 0.25f);
    EXPECT_FLOAT_EQ(T.At(3, 3), 0.25f);
}

TEST(RenderMasks, SeamMaskKeepsEarlierPixelsOnlyWhereTheirWeightIsStrictlyLarger) {
    // Both working images 9 x 9, the earlier one shifted by two columns to the right of the new
    // one: new pixel (j, i) is the earlier image's (j - 2, i).
    const stitch::TentWeights tentNew(9, 9), tentEarlier(9, 9);
    ImgUCHAR S(9, 9);
    S.FillRect(0, 0, 8, 8, 1);
    stitch::ClearSeamMaskWhereEarlierWins(S, tentNew, tentEarlier, [](int i, double* x, double* y) {
        for (int j = 0; j < 9; ++j) {
            x[j] = j - 2 + 0.5;  // inside pixel j - 2
            y[j] = i;
        }
    });
    // Row 4: weights of the new image 1 - |j - 4| / 4, of the earlier one 1 - |j - 6| / 4.
    for (int j = 0; j < 9; ++j) {
        int k = j - 2;
        bool inner = k > 0 && k < 8;
        bool earlierWins = inner && std::abs(k - 4) < std::abs(j - 4);
        EXPECT_EQ(S.At(j, 4), earlierWins ? 0 : 1) << j;
    }
    // j = 5 and k = 3 weigh alike (3/4): the later image claims the pixel.
    EXPECT_EQ(S.At(5, 4), 1);
    EXPECT_FALSE(stitch::EarlierImageKeeps(0.75f, 0.75f));
    EXPECT_TRUE(stitch::EarlierImageKeeps(0.76f, 0.75f));
    // Points that do not map (non-finite) leave the mask alone.
    ImgUCHAR S2(9, 9);
    S2.FillRect(0, 0, 8, 8, 1);
    stitch::ClearSeamMaskWhereEarlierWins(S2, tentNew, tentEarlier, [](int, double* x, double* y) {
        for (int j = 0; j < 9; ++j)
            x[j] = y[j] = std::nan("");
    });
    for (int i = 0; i < 9; ++i)
        for (int j = 0; j < 9; ++j)
            ASSERT_EQ(S2.At(j, i), 1);
}

TEST(RenderMasks, ErosionClearsTheRingAndTwoMorePixelsAndPasteHonoursTheMask) {
    ImgUCHAR C(12, 10);
    C.FillRect(0, 0, 11, 9, 1);
    C.At(6, 5) = 0;  // a hole grows by two pixels in every direction
    stitch::ErodeCoverage(C);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 12; ++x) {
            bool inside = x >= 3 && x <= 8 && y >= 3 && y <= 6;
            bool nearHole = std::abs(x - 6) <= 2 && std::abs(y - 5) <= 2;
            EXPECT_EQ(C.At(x, y), inside && !nearHole ? 1 : 0) << x << ", " << y;
        }
    ImgRGBSHORT R(12, 10), P(14, 12);
    R.FillRect(0, 0, 11, 9, RgbSHORT{7, 8, 9});
    P.FillRect(0, 0, 13, 11, RgbSHORT{-32768, -32768, -32768});
    stitch::PasteCovered(R, C, P, 2, 1);
    EXPECT_EQ(P.At(2 + 3, 1 + 3).g, 8);
    EXPECT_EQ(P.At(2 + 6, 1 + 5).b, -32768);  // the hole
    EXPECT_EQ(P.At(2 + 2, 1 + 3).b, -32768);  // eroded away
    // A rectangle sticking out of P is clipped.
    stitch::PasteCovered(R, C, P, 10, 8);
    EXPECT_EQ(P.At(13, 11).r, 9);
}

// The erosion against its plain definition (the outermost ring to 0, then twice a 3 x 3
// minimum over the neighbours inside the mask) on random masks of many shapes, tiny ones
// included.
TEST(RenderMasks, ErosionIsTwiceTheThreeByThreeMinimum) {
    auto reference = [](const ImgUCHAR& in) {
        const int w = in.width, h = in.height;
        std::vector<uint8_t> a(size_t(w) * size_t(h));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                a[size_t(y) * size_t(w) + size_t(x)] = y == 0 || y == h - 1 || x == 0 || x == w - 1 ? 0 : in.Row(y)[x];
        for (int pass = 0; pass < 2; ++pass) {
            std::vector<uint8_t> b = a;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    uint8_t m = 255;
                    for (int yy = std::max(0, y - 1); yy <= std::min(h - 1, y + 1); ++yy)
                        for (int xx = std::max(0, x - 1); xx <= std::min(w - 1, x + 1); ++xx)
                            m = std::min(m, b[size_t(yy) * size_t(w) + size_t(xx)]);
                    a[size_t(y) * size_t(w) + size_t(x)] = m;
                }
        }
        return a;
    };
    unsigned seed = 7;
    auto next = [&] { return (seed = seed * 1103515245u + 12345u) >> 16; };
    for (auto [w, h] : {std::pair{1, 1}, std::pair{2, 7}, std::pair{4, 4}, std::pair{5, 5}, std::pair{6, 9},
                        std::pair{33, 17}, std::pair{130, 64}}) {
        ImgUCHAR C(w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                C.Row(y)[x] = next() % 23 == 0 ? 0 : 1;
        const std::vector<uint8_t> expected = reference(C);
        stitch::ErodeCoverage(C);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                ASSERT_EQ(C.Row(y)[x], expected[size_t(y) * size_t(w) + size_t(x)])
                    << w << "x" << h << " " << x << ", " << y;
    }
}
