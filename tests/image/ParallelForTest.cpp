#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "image/GaussianSmooth.h"
#include "image/ImgTypes.h"
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

// A thread the system refuses to start leaves the work to the caller: every index still runs
// once, on the calling thread, a pass gives the same pixels, and a task's failure still comes
// back as itself rather than ending the process.
TEST(ParallelFor, AThreadThatCannotStartLeavesTheWorkToTheCaller) {
    ImgFLOAT image(301, 203);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            image.At(x, y) = static_cast<float>((x * 7 + y * 13) % 29);
    ImgFLOAT threaded(image);
    GaussianSmooth(threaded, 2.5);

    FailThreadStartsAfter(0);
    const std::thread::id caller = std::this_thread::get_id();
    std::vector<int> runs(500, 0);
    std::atomic<int> elsewhere{0};
    ParallelFor(500, [&](int i) {
        ++runs[size_t(i)];
        elsewhere += std::this_thread::get_id() != caller;
    });
    ImgFLOAT alone(image);
    GaussianSmooth(alone, 2.5);
    bool thrown = false;
    try {
        ParallelFor(8, [](int i) {
            if (i == 3)
                throw std::runtime_error("task 3");
        });
    } catch (const std::runtime_error&) {
        thrown = true;
    }
    FailThreadStartsAfter(-1);

    for (int r : runs)
        ASSERT_EQ(r, 1);
    EXPECT_EQ(elsewhere.load(), 0);
    EXPECT_TRUE(thrown);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            ASSERT_EQ(alone.At(x, y), threaded.At(x, y)) << x << "," << y;
}
