#include "stitching/SineGrid.h"

#include <fftw3.h>

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

namespace stitch {

namespace {

// Rows padded to whole 64-byte lines: every row start then has the alignment of the block.
constexpr int kStrideQuantum = 16;

// Square tiles small enough that a source tile and a destination tile stay in the L1 cache.
constexpr int kTile = 32;

// The memory of grids that have ended, kept for the next grids of the same size. A blend
// makes and drops two grids of tens of megabytes per channel and photograph; fresh memory from
// the system comes in untouched pages whose first writes fault one by one, which cost a fifth
// of a whole stitch. What the pool keeps is bounded, the oldest blocks going first.
class BlockPool {
public:
    ~BlockPool() {
        for (const Block& block : blocks_)
            fftwf_free(block.data);
    }

    float* Take(size_t bytes) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            for (size_t k = blocks_.size(); k-- > 0;)
                if (blocks_[k].bytes == bytes) {
                    float* data = blocks_[k].data;
                    blocks_.erase(blocks_.begin() + static_cast<ptrdiff_t>(k));
                    kept_ -= bytes;
                    return data;
                }
        }
        float* data = static_cast<float*>(fftwf_malloc(bytes));
        if (!data)
            throw std::bad_alloc();
        return data;
    }

    void Give(float* data, size_t bytes) {
        if (!data)
            return;
        std::vector<float*> released;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (bytes > kKeptBytes) {
                released.push_back(data);
            } else {
                while (kept_ + bytes > kKeptBytes) {
                    released.push_back(blocks_.front().data);
                    kept_ -= blocks_.front().bytes;
                    blocks_.erase(blocks_.begin());
                }
                blocks_.push_back({data, bytes});
                kept_ += bytes;
            }
        }
        for (float* block : released)
            fftwf_free(block);
    }

private:
    // Room for the six grids of a three-channel blend on 2048 x 2048 grids.
    static constexpr size_t kKeptBytes = size_t{6} * 2048 * 2048 * sizeof(float);

    struct Block {
        float* data;
        size_t bytes;
    };
    std::mutex mutex_;
    std::vector<Block> blocks_;
    size_t kept_ = 0;
};

BlockPool& Pool() {
    static BlockPool pool;
    return pool;
}

}  // namespace

int NextPowerOfTwo(int n) {
    int p = 1;
    while (p < n)
        p *= 2;
    return p;
}

int SineGrid::StrideFor(int width) { return (width + kStrideQuantum - 1) / kStrideQuantum * kStrideQuantum; }

SineGrid::SineGrid(int width, int height) : SineGrid(width, height, Uninitialised{}) { Fill(0.0f); }

SineGrid::SineGrid(int width, int height, Uninitialised) : width_(width), height_(height), stride_(StrideFor(width)) {
    size_t count = static_cast<size_t>(stride_) * static_cast<size_t>(height_);
    if (width <= 0 || height <= 0 || count > SIZE_MAX / sizeof(float))
        throw std::bad_alloc();
    data_ = Pool().Take(Bytes());
}

SineGrid::~SineGrid() { Pool().Give(data_, Bytes()); }

size_t SineGrid::Bytes() const { return static_cast<size_t>(stride_) * static_cast<size_t>(height_) * sizeof(float); }

SineGrid::SineGrid(SineGrid&& other) noexcept
    : width_(other.width_), height_(other.height_), stride_(other.stride_), data_(other.data_) {
    other.data_ = nullptr;
    other.width_ = other.height_ = other.stride_ = 0;
}

SineGrid& SineGrid::operator=(SineGrid&& other) noexcept {
    std::swap(width_, other.width_);
    std::swap(height_, other.height_);
    std::swap(stride_, other.stride_);
    std::swap(data_, other.data_);
    return *this;
}

void SineGrid::Fill(float value) {
    std::fill(data_, data_ + static_cast<size_t>(stride_) * static_cast<size_t>(height_), value);
}

void TransposeScaled(const SineGrid& src, SineGrid& dst, float scale) {
    int w = src.Width(), h = src.Height();
    for (int y0 = 0; y0 < h; y0 += kTile) {
        int y1 = std::min(y0 + kTile, h);
        for (int x0 = 0; x0 < w; x0 += kTile) {
            int x1 = std::min(x0 + kTile, w);
            for (int x = x0; x < x1; ++x) {
                float* out = dst.Row(x);
                for (int y = y0; y < y1; ++y)
                    out[y] = src.Row(y)[x] * scale;
            }
        }
    }
}

}  // namespace stitch
