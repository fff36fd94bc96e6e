#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "image/LargeBlocks.h"
#include "stitching/SineTransform.h"

using stitch::SineGrid;

namespace {

// A reproducible pattern with both signs and no structure the transform could hide behind.
void FillPattern(SineGrid& g) {
    unsigned s = 12345;
    for (int y = 0; y < g.Height(); ++y)
        for (int x = 0; x < g.Width(); ++x) {
            s = s * 1103515245u + 12345u;
            g.At(x, y) = static_cast<float>((s >> 8) % 2001) / 100.0f - 10.0f;
        }
}

// The defining double sum, straight from the definition: rows, then columns.
std::vector<double> DirectTransform(const SineGrid& g) {
    int w = g.Width(), h = g.Height();
    std::vector<double> rows(static_cast<size_t>(w * h), 0.0), out(static_cast<size_t>(w * h), 0.0);
    for (int y = 1; y < h; ++y)
        for (int k = 1; k < w; ++k) {
            double s = 0;
            for (int j = 1; j < w; ++j)
                s += g.At(j, y) * std::sin(std::numbers::pi * j * k / w);
            rows[y * w + k] = s;
        }
    for (int k = 1; k < w; ++k)
        for (int r = 1; r < h; ++r) {
            double s = 0;
            for (int j = 1; j < h; ++j)
                s += rows[j * w + k] * std::sin(std::numbers::pi * j * r / h);
            out[r * w + k] = s;
        }
    return out;
}

}  // namespace

TEST(SineTransform, EqualsTheDirectSumOnSquareAndOblongGrids) {
    // Powers of two, and the padded lengths of the blend's grids (even, other factors 3, 5, 7).
    const int sizes[][2] = {{8, 8},  {16, 16}, {32, 32}, {32, 8},  {4, 64},
                            {2, 16}, {16, 1},  {6, 10},  {30, 42}, {70, 18}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(testing::Message() << size[0] << " x " << size[1]);
        SineGrid g(size[0], size[1]);
        FillPattern(g);
        std::vector<double> expected = DirectTransform(g);
        stitch::SineTransform2D(g);
        double largest = 0;
        for (double v : expected)
            largest = std::max(largest, std::abs(v));
        for (int y = 0; y < g.Height(); ++y)
            for (int x = 0; x < g.Width(); ++x)
                ASSERT_NEAR(g.At(x, y), expected[y * g.Width() + x], 1e-5 * (largest + 1)) << x << ", " << y;
    }
}

// A row as long as a blend of a wide panorama: the rounding of the single-precision transform
// stays at the level of a few units in the last place of the largest output, not growing along
// the row.
TEST(SineTransform, LongRowsStayAccurate) {
    const int n = 2048;
    SineGrid g(n, 2);
    for (int x = 1; x < n; ++x)
        g.At(x, 1) = static_cast<float>(50.0 * std::sin(x * 0.013) + (x * 7 % 13) - 6);
    std::vector<double> expected(n, 0.0);
    for (int k = 1; k < n; ++k)
        for (int j = 1; j < n; ++j)
            expected[k] += 2.0 * g.At(j, 1) * std::sin(std::numbers::pi * ((j * k) % (2 * n)) / n);
    stitch::OddTransformRows(g);
    double largest = 0, worst = 0;
    for (int k = 1; k < n; ++k) {
        largest = std::max(largest, std::abs(expected[k]));
        worst = std::max(worst, std::abs(g.At(k, 1) - expected[k]));
    }
    EXPECT_LT(worst, 1e-6 * largest);
}

TEST(SineTransform, InverseUndoesTheForwardTransformAndIgnoresTheBoundary) {
    SineGrid g(64, 32), original(64, 32);
    FillPattern(g);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x)
            original.At(x, y) = (x == 0 || y == 0) ? 0.0f : g.At(x, y);
    stitch::SineTransform2D(g);
    stitch::InverseSineTransform2D(g);
    // Values up to 10 through four single-precision transforms: a few dozen units in the last
    // place (1e-6 each) at most.
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x)
            ASSERT_NEAR(g.At(x, y), original.At(x, y), 4e-5) << x << ", " << y;
}

TEST(SineTransform, OneDimensionalTransformTwiceScalesByHalfTheLength) {
    // A single row: the sine sum applied twice gives n / 2 times the data (RODFT00: 2n).
    SineGrid g(16, 2);
    for (int x = 1; x < 16; ++x)
        g.At(x, 1) = static_cast<float>(x * x % 7);
    stitch::OddTransformRows(g);
    stitch::OddTransformRows(g);
    for (int x = 1; x < 16; ++x)
        EXPECT_NEAR(g.At(x, 1), 2 * 16 * (x * x % 7), 1e-3);
    EXPECT_EQ(g.At(0, 1), 0.0f);
}

TEST(SineTransform, SplittingTheRowsBetweenThreadsGivesTheSameBits) {
    for (auto [w, h] : {std::pair{64, 64}, std::pair{128, 32}, std::pair{32, 256}}) {
        SineGrid one(w, h), two(w, h);
        FillPattern(one);
        FillPattern(two);
        stitch::SineTransform2D(one, 1);
        stitch::SineTransform2D(two, 2);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                ASSERT_EQ(one.At(x, y), two.At(x, y)) << w << "x" << h << " at " << x << ", " << y;
    }
}

// Grids reuse the memory of grids that ended; a new grid must still start at zero, and the
// grids alive together never share memory.
TEST(SineGrid, GridsOnReusedMemoryStartAtZero) {
    const LargeBlockReuse reuse;
    const int w = 1100, h = 1000;  // above 4 MB: memory that is kept for reuse
    {
        SineGrid used(w, h);
        used.Fill(7.0f);
    }
    ASSERT_GT(LargeBlockBytesKept(), 0u);
    SineGrid a(w, h), b(w, h);
    EXPECT_EQ(LargeBlockBytesKept(), 0u);  // one of them took the kept block
    a.Fill(1.0f);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            ASSERT_EQ(b.At(x, y), 0.0f) << x << ", " << y;
    EXPECT_NE(a.Row(0), b.Row(0));
}

TEST(SineGrid, TransformLengthsAreEvenWithSmallFactorsOnly) {
    EXPECT_EQ(stitch::NextTransformSize(0), 2);
    EXPECT_EQ(stitch::NextTransformSize(2), 2);
    EXPECT_EQ(stitch::NextTransformSize(3), 4);
    EXPECT_EQ(stitch::NextTransformSize(11), 12);
    EXPECT_EQ(stitch::NextTransformSize(13), 14);
    EXPECT_EQ(stitch::NextTransformSize(1025), 1050);  // 2 * 3 * 5 * 5 * 7
    for (int n = 1; n < 5000; n += 37) {
        const int m = stitch::NextTransformSize(n);
        ASSERT_GE(m, n);
        ASSERT_EQ(m % 2, 0);
        ASSERT_LE(m, stitch::NextPowerOfTwo(n) + 1);
        int rest = m;
        for (int p : {2, 3, 5, 7})
            while (rest % p == 0)
                rest /= p;
        ASSERT_EQ(rest, 1) << m;
    }
}
