#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <vector>

#include "image/ParallelFor.h"

// Every index runs once; the bands of rows cover every row once, in order, for images of any
// height; a task's exception comes back to the caller.
TEST(ParallelFor, EveryIndexAndEveryRowOnceAndFailuresComeBack) {
    std::vector<std::atomic<int>> runs(1000);
    ParallelFor(1000, [&](int i) { ++runs[size_t(i)]; });
    for (const std::atomic<int>& r : runs)
        ASSERT_EQ(r.load(), 1);

    for (int height : {0, 1, 63, 64, 65, 1000, 1023, 100000}) {
        const RowBands bands(height);
        EXPECT_GE(bands.count, 1);
        EXPECT_LE(bands.count, RowBands::kMaxBands);
        std::vector<int> seen(size_t(height), 0);
        std::atomic<int> calls{0};
        ParallelRows(bands, [&](int band, int begin, int end) {
            ++calls;
            EXPECT_EQ(begin, bands.Begin(band));
            EXPECT_EQ(end, bands.End(band));
            for (int y = begin; y < end; ++y)
                ++seen[size_t(y)];
        });
        EXPECT_EQ(calls.load(), bands.count);
        EXPECT_EQ(bands.Begin(0), 0);
        EXPECT_EQ(bands.End(bands.count - 1), height);
        for (int y = 0; y < height; ++y)
            ASSERT_EQ(seen[size_t(y)], 1) << height << ": " << y;
    }

    EXPECT_THROW(ParallelFor(8,
                             [](int i) {
                                 if (i == 5)
                                     throw std::runtime_error("band 5");
                             }),
                 std::runtime_error);
}
