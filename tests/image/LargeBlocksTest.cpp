#include <gtest/gtest.h>

#include <cstring>

#include "image/ImgTypes.h"
#include "image/LargeBlocks.h"

namespace {

constexpr size_t kMB = size_t(1) << 20;

}  // namespace

// Large blocks that end are kept only while a reuse lives; a kept block serves a request of
// at least half its size, never a smaller one; what is kept never lifts the blocks held together
// above the most that was in use at once; the outermost reuse's end hands everything back.
TEST(LargeBlocks, ReuseKeepsEndingBlocksWithinThePeakInUse) {
    void* alone = TakeLargeBlock(8 * kMB);
    GiveLargeBlock(alone, 8 * kMB);
    EXPECT_EQ(LargeBlockBytesKept(), 0u);
    {
        const LargeBlockReuse reuse;
        void* a = TakeLargeBlock(16 * kMB);
        void* b = TakeLargeBlock(16 * kMB);
        std::memset(a, 1, 16 * kMB);
        GiveLargeBlock(a, 16 * kMB);
        EXPECT_EQ(LargeBlockBytesKept(), 16 * kMB);
        void* c = TakeLargeBlock(9 * kMB);  // fits, and takes more than half of it
        EXPECT_EQ(c, a);
        EXPECT_EQ(LargeBlockBytesKept(), 0u);
        GiveLargeBlock(c, 9 * kMB);  // the holder knows only its own size
        GiveLargeBlock(b, 16 * kMB);
        EXPECT_EQ(LargeBlockBytesKept(), 32 * kMB);
        void* small = TakeLargeBlock(6 * kMB);  // under half a kept block: too wasteful to serve
        EXPECT_NE(small, a);
        EXPECT_NE(small, b);
        // 6 in use and 32 kept would exceed the peak of 32: the oldest kept block goes.
        EXPECT_EQ(LargeBlockBytesKept(), 16 * kMB);
        {
            const LargeBlockReuse nested;
            GiveLargeBlock(small, 6 * kMB);
        }
        EXPECT_EQ(LargeBlockBytesKept(), 22 * kMB);  // an inner reuse's end keeps the store
        // A new peak leaves no room for anything kept.
        void* big = TakeLargeBlock(40 * kMB);
        EXPECT_EQ(LargeBlockBytesKept(), 0u);
        GiveLargeBlock(big, 40 * kMB);
        EXPECT_EQ(LargeBlockBytesKept(), 40 * kMB);
        // Blocks below a few megabytes are never kept.
        void* tiny = TakeLargeBlock(1000);
        GiveLargeBlock(tiny, 1000);
        EXPECT_EQ(LargeBlockBytesKept(), 40 * kMB);

        // Images draw their pixels from the same store.
        ImgFLOAT image(2048, 1024);  // 8 MB
        EXPECT_EQ(LargeBlockBytesKept(), 0u);
        image.Resize(0, 0);
        // Its block (8 MB and the few bytes of row alignment, in whole 2 MB pages) made the
        // 40 MB one go.
        EXPECT_EQ(LargeBlockBytesKept(), 10 * kMB);
    }
    EXPECT_EQ(LargeBlockBytesKept(), 0u);
}
