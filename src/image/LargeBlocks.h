#pragma once

#include <cstddef>

// Memory for pixels and other large arrays. Blocks of a few megabytes and more are aligned to
// huge pages; the rest to cache lines.
//
// A fresh large block reaches the process as untouched pages that the kernel zeroes on their
// first write, and on this kind of work (images of tens of megabytes made and dropped many
// times per photograph) that zeroing was a fifth of a whole stitch. While a LargeBlockReuse
// lives, large blocks that end are kept and handed out again for blocks of at least half their size.
// What is kept never makes the blocks held together (in use and kept) more than the most that
// was in use at once since the outermost reuse began: a block that would go beyond makes the
// oldest kept ones go first. So reuse costs no memory the work did not need anyway.
void* TakeLargeBlock(size_t bytes);
// Gives back a block of TakeLargeBlock with the size it was asked for; null is ignored.
void GiveLargeBlock(void* block, size_t bytes) noexcept;

// Keeps ending large blocks for reuse while it lives; nested reuses share one store, which is
// emptied when the outermost ends. Any thread may take and give blocks meanwhile.
class LargeBlockReuse {
public:
    LargeBlockReuse();
    ~LargeBlockReuse();
    LargeBlockReuse(const LargeBlockReuse&) = delete;
    LargeBlockReuse& operator=(const LargeBlockReuse&) = delete;
};

// Bytes kept for reuse now (for tests and benchmarks).
size_t LargeBlockBytesKept();
