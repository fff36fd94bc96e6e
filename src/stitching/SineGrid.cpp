#include "stitching/SineGrid.h"

#include <fftw3.h>

#include <algorithm>
#include <cstdint>
#include <new>
#include <utility>

namespace stitch {

namespace {

// Rows padded to whole 64-byte lines: every row start then has the alignment of the block.
constexpr int kStrideQuantum = 16;

// Square tiles small enough that a source tile and a destination tile stay in the L1 cache.
constexpr int kTile = 32;

}  // namespace

int NextPowerOfTwo(int n) {
    int p = 1;
    while (p < n)
        p *= 2;
    return p;
}

int SineGrid::StrideFor(int width) { return (width + kStrideQuantum - 1) / kStrideQuantum * kStrideQuantum; }

SineGrid::SineGrid(int width, int height) : width_(width), height_(height), stride_(StrideFor(width)) {
    size_t count = static_cast<size_t>(stride_) * static_cast<size_t>(height_);
    if (width <= 0 || height <= 0 || count > SIZE_MAX / sizeof(float))
        throw std::bad_alloc();
    data_ = static_cast<float*>(fftwf_malloc(count * sizeof(float)));
    if (!data_)
        throw std::bad_alloc();
    Fill(0.0f);
}

SineGrid::~SineGrid() { fftwf_free(data_); }

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
