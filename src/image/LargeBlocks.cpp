#include "image/LargeBlocks.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <new>
#include <unordered_map>
#include <vector>

namespace {

constexpr size_t kHugePage = size_t(2) << 20;
// Blocks from this size on are huge-page aligned, whole huge pages long, and reusable.
constexpr size_t kLargeBlock = 2 * kHugePage;

size_t CapacityFor(size_t bytes) { return bytes >= kLargeBlock ? (bytes + kHugePage - 1) & ~(kHugePage - 1) : bytes; }

void* Allocate(size_t capacity) {
    const size_t alignment = capacity >= kLargeBlock ? kHugePage : 64;
    void* block = nullptr;
    if (::posix_memalign(&block, alignment, capacity) != 0 || !block)
        throw std::bad_alloc();
    // Huge pages: a 12-megapixel image otherwise costs thousands of page faults on its first
    // write, more than copying it.
    if (alignment == kHugePage)
        ::madvise(block, capacity, MADV_HUGEPAGE);
    return block;
}

class BlockStore {
public:
    void* Take(size_t bytes) {
        const size_t capacity = CapacityFor(bytes);
        if (capacity < kLargeBlock)
            return Allocate(capacity);
        std::vector<void*> released;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            // The smallest kept block that fits and is at most twice the request: the stages' images
            // come in a few sizes that differ by less than that (a photograph as bytes and as 16-bit
            // channels, the blend's rectangle as floats), and a block that goes back to the system
            // to make room for a fresh one costs that one's first touch of every page.
            size_t best = kept_.size();
            for (size_t k = 0; k < kept_.size(); ++k)
                if (kept_[k].capacity >= capacity && kept_[k].capacity <= 2 * capacity &&
                    (best == kept_.size() || kept_[k].capacity < kept_[best].capacity))
                    best = k;
            if (best < kept_.size()) {
                const Kept kept = kept_[best];
                out_.emplace(kept.block, kept.capacity);  // the only step that may throw
                kept_.erase(kept_.begin() + static_cast<std::ptrdiff_t>(best));
                keptBytes_ -= kept.capacity;
                inUse_ += kept.capacity;
                return kept.block;
            }
            // What a fresh block would lift above the peak, the oldest kept blocks make room for.
            released.reserve(kept_.size());
            inUse_ += capacity;
            peak_ = std::max(peak_, inUse_);
            while (!kept_.empty() && inUse_ + keptBytes_ > peak_) {
                released.push_back(kept_.front().block);
                keptBytes_ -= kept_.front().capacity;
                kept_.erase(kept_.begin());
            }
        }
        for (void* block : released)
            std::free(block);
        void* block = nullptr;
        try {
            block = Allocate(capacity);
            std::lock_guard<std::mutex> lock(mutex_);
            out_[block] = capacity;
        } catch (...) {
            std::free(block);
            std::lock_guard<std::mutex> lock(mutex_);
            inUse_ -= capacity;
            throw;
        }
        return block;
    }

    void Give(void* block, size_t bytes) noexcept {
        if (!block)
            return;
        if (CapacityFor(bytes) >= kLargeBlock) {
            std::lock_guard<std::mutex> lock(mutex_);
            const auto out = out_.find(block);
            if (out == out_.end()) {  // not one of ours: nothing to account
                std::free(block);
                return;
            }
            const size_t capacity = out->second;
            out_.erase(out);
            inUse_ -= capacity;
            if (reuses_ > 0) {
                // Images give their blocks back from destructors: nothing may throw from here.
                try {
                    kept_.push_back({block, capacity});
                    keptBytes_ += capacity;
                    return;
                } catch (const std::bad_alloc&) {
                    // no room to remember it: it goes back to the system
                }
            }
        }
        std::free(block);
    }

    void BeginReuse() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (reuses_++ == 0)
            peak_ = inUse_;
    }

    void EndReuse() {
        std::vector<Kept> released;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (--reuses_ > 0)
                return;
            released.swap(kept_);
            keptBytes_ = 0;
        }
        for (const Kept& kept : released)
            std::free(kept.block);
    }

    size_t KeptBytes() {
        std::lock_guard<std::mutex> lock(mutex_);
        return keptBytes_;
    }

private:
    struct Kept {
        void* block;
        size_t capacity;
    };

    std::mutex mutex_;
    // The capacity of every large block handed out: a reused block may be larger than the size
    // its holder asked for and gives back.
    std::unordered_map<void*, size_t> out_;
    std::vector<Kept> kept_;  // oldest first
    size_t keptBytes_ = 0;
    size_t inUse_ = 0;
    size_t peak_ = 0;
    int reuses_ = 0;
};

// Never destroyed: images held by other static objects give their blocks back during the
// program's exit, after the statics made later than theirs are gone.
BlockStore& Store() {
    static BlockStore* store = new BlockStore;
    return *store;
}

}  // namespace

void* TakeLargeBlock(size_t bytes) { return Store().Take(bytes); }

void GiveLargeBlock(void* block, size_t bytes) noexcept { Store().Give(block, bytes); }

LargeBlockReuse::LargeBlockReuse() { Store().BeginReuse(); }

LargeBlockReuse::~LargeBlockReuse() { Store().EndReuse(); }

size_t LargeBlockBytesKept() { return Store().KeptBytes(); }
