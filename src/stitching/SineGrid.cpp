#include "stitching/SineGrid.h"

#include <fftw3.h>

#include "image/LargeBlocks.h"

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

#include <algorithm>
#include <cstdint>
#include <new>
#include <utility>
#include <vector>

namespace stitch {

namespace {

// Rows padded to whole 64-byte lines: every row start then has the alignment of the block.
constexpr int kStrideQuantum = 16;
// Rows a multiple of this many floats apart would all fall on the same few cache sets, and a
// transposition walking down a column would evict its own lines; such rows get one more line.
constexpr int kConflictingStride = 256;

// Square tiles small enough that a source tile and a destination tile stay in the L1 cache.
constexpr int kTile = 32;

}  // namespace

int NextPowerOfTwo(int n) {
    int p = 1;
    while (p < n)
        p *= 2;
    return p;
}

int NextTransformSize(int n) {
    for (int m = std::max(2, n + (n & 1));; m += 2) {
        int rest = m / 2;
        for (int p : {2, 3, 5, 7})
            while (rest % p == 0)
                rest /= p;
        if (rest == 1)
            return m;
    }
}

int SineGrid::StrideFor(int width) {
    int stride = (width + kStrideQuantum - 1) / kStrideQuantum * kStrideQuantum;
    return stride % kConflictingStride == 0 ? stride + kStrideQuantum : stride;
}

SineGrid::SineGrid(int width, int height) : SineGrid(width, height, Uninitialised{}) { Fill(0.0f); }

SineGrid::SineGrid(int width, int height, Uninitialised) : width_(width), height_(height), stride_(StrideFor(width)) {
    size_t count = static_cast<size_t>(stride_) * static_cast<size_t>(height_);
    if (width <= 0 || height <= 0 || count > SIZE_MAX / sizeof(float))
        throw std::bad_alloc();
    data_ = static_cast<float*>(TakeLargeBlock(Bytes()));
}

SineGrid::~SineGrid() { GiveLargeBlock(data_, Bytes()); }

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

namespace {

// dst(x, y) := scale * src(y, x) for x0 <= x < x1, y0 <= y < y1, one element at a time.
void TransposeBlock(const SineGrid& src, SineGrid& dst, float scale, int x0, int x1, int y0, int y1) {
    for (int x = x0; x < x1; ++x) {
        float* out = dst.Row(x);
        for (int y = y0; y < y1; ++y)
            out[y] = src.Row(y)[x] * scale;
    }
}

#if defined(__SSE__)
// The same for a whole tile in 4 x 4 blocks held in registers. Rows start on 16-byte
// boundaries and tiles on multiples of 4, so every load and store is aligned.
void TransposeTile(const SineGrid& src, SineGrid& dst, float scale, int x0, int y0) {
    const __m128 factor = _mm_set1_ps(scale);
    const ptrdiff_t in = src.Stride(), out = dst.Stride();
    for (int y = y0; y < y0 + kTile; y += 4)
        for (int x = x0; x < x0 + kTile; x += 4) {
            const float* p = src.Row(y) + x;
            __m128 r0 = _mm_load_ps(p), r1 = _mm_load_ps(p + in), r2 = _mm_load_ps(p + 2 * in);
            __m128 r3 = _mm_load_ps(p + 3 * in);
            _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
            float* q = dst.Row(x) + y;
            _mm_store_ps(q, _mm_mul_ps(r0, factor));
            _mm_store_ps(q + out, _mm_mul_ps(r1, factor));
            _mm_store_ps(q + 2 * out, _mm_mul_ps(r2, factor));
            _mm_store_ps(q + 3 * out, _mm_mul_ps(r3, factor));
        }
}
#else
void TransposeTile(const SineGrid& src, SineGrid& dst, float scale, int x0, int y0) {
    TransposeBlock(src, dst, scale, x0, x0 + kTile, y0, y0 + kTile);
}
#endif

}  // namespace

void TransposeScaled(const SineGrid& src, SineGrid& dst, float scale) {
    int w = src.Width(), h = src.Height();
    for (int y0 = 0; y0 < h; y0 += kTile) {
        int y1 = std::min(y0 + kTile, h);
        for (int x0 = 0; x0 < w; x0 += kTile) {
            int x1 = std::min(x0 + kTile, w);
            if (x1 - x0 == kTile && y1 - y0 == kTile)
                TransposeTile(src, dst, scale, x0, y0);
            else
                TransposeBlock(src, dst, scale, x0, x1, y0, y1);
        }
    }
}

}  // namespace stitch
