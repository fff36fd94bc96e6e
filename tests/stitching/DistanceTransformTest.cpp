#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "stitching/BlendWeight.h"
#include "stitching/DistanceTransform.h"

namespace {

ImgUCHAR RandomMask(int w, int h, unsigned seed, int percent) {
    ImgUCHAR m(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            seed = seed * 1664525u + 1013904223u;
            m.At(x, y) = (seed >> 16) % 100 < static_cast<unsigned>(percent) ? 1 : 0;
        }
    return m;
}

}  // namespace

TEST(DistanceTransform, EqualsBruteForceEuclideanDistancesOnRandomMasks) {
    const int cases[][4] = {{37, 23, 1, 3}, {16, 40, 2, 10}, {50, 50, 3, 1}, {1, 30, 4, 20}, {30, 1, 5, 20}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c[0] << " x " << c[1] << " seed " << c[2]);
        ImgUCHAR mask = RandomMask(c[0], c[1], c[2], c[3]);
        ImgFLOAT squared, distance;
        stitch::SquaredDistanceTransform(mask, squared);
        stitch::DistanceTransform(mask, distance);
        for (int y = 0; y < c[1]; ++y)
            for (int x = 0; x < c[0]; ++x) {
                long best = std::numeric_limits<long>::max();
                for (int v = 0; v < c[1]; ++v)
                    for (int u = 0; u < c[0]; ++u)
                        if (mask.At(u, v))
                            best = std::min(best, long((u - x) * (u - x) + (v - y) * (v - y)));
                if (best == std::numeric_limits<long>::max()) {
                    EXPECT_EQ(squared.At(x, y), stitch::kInfiniteDistance);
                    continue;
                }
                ASSERT_EQ(squared.At(x, y), static_cast<float>(best)) << x << ", " << y;
                ASSERT_NEAR(distance.At(x, y), std::sqrt(double(best)), 1e-4 * (1 + std::sqrt(double(best))));
            }
    }
}

TEST(DistanceTransform, EmptyMaskIsInfinitelyFarAndFastSqrtIsAccurate) {
    ImgUCHAR mask(12, 7);
    mask.FillRect(0, 0, 11, 6, 0);
    ImgFLOAT squared;
    stitch::SquaredDistanceTransform(mask, squared);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 12; ++x)
            EXPECT_EQ(squared.At(x, y), stitch::kInfiniteDistance);
    EXPECT_EQ(stitch::FastSqrt(0.0f), 0.0f);
    EXPECT_EQ(stitch::FastSqrt(5e-9f), 0.0f);
    for (float v : {1e-6f, 1.0f, 2.0f, 9.0f, 12345.0f, 1e20f})
        EXPECT_NEAR(stitch::FastSqrt(v), std::sqrt(v), 1e-5 * std::sqrt(v)) << v;
}

TEST(DistanceTransform, RingDistanceEqualsTheTransformOfTheRing) {
    for (auto [w, h] : {std::pair{9, 6}, std::pair{40, 17}, std::pair{3, 3}}) {
        ImgUCHAR ring(w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                ring.At(x, y) = (x == 0 || y == 0 || x == w - 1 || y == h - 1) ? 1 : 0;
        ImgFLOAT viaTransform, direct;
        stitch::DistanceTransform(ring, viaTransform);
        stitch::RingDistance(w, h, direct);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                ASSERT_EQ(direct.At(x, y), viaTransform.At(x, y)) << w << "x" << h << " at " << x << ", " << y;
    }
}
