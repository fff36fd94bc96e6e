#pragma once

#include <cstddef>

namespace stitch {

// A float grid laid out for the sine transforms: rows are whole 64-byte lines apart and start as
// aligned as the block (at least 16 bytes: the transpositions move aligned 4 x 4 blocks), and
// rows of a power-of-two length are one cache line longer so that a column does not map onto a
// few cache sets. Row 0 and column 0 are the transforms' fixed zero boundary. The transforms
// take sides of an even length (NextTransformSize).
class SineGrid {
public:
    // No cells (a grid to be assigned later).
    SineGrid() = default;
    // Zero-filled.
    SineGrid(int width, int height);
    // Contents undefined: for a grid that the caller overwrites whole (a transposition target).
    struct Uninitialised {};
    SineGrid(int width, int height, Uninitialised);
    ~SineGrid();
    SineGrid(const SineGrid&) = delete;
    SineGrid& operator=(const SineGrid&) = delete;
    SineGrid(SineGrid&& other) noexcept;
    SineGrid& operator=(SineGrid&& other) noexcept;

    float* Row(int y) { return data_ + static_cast<ptrdiff_t>(y) * stride_; }
    const float* Row(int y) const { return data_ + static_cast<ptrdiff_t>(y) * stride_; }
    float& At(int x, int y) { return Row(y)[x]; }
    float At(int x, int y) const { return Row(y)[x]; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    int Stride() const { return stride_; }
    void Fill(float value);

    // The row stride used for grids of this width (see above).
    static int StrideFor(int width);

private:
    size_t Bytes() const;

    int width_ = 0;
    int height_ = 0;
    int stride_ = 0;
    float* data_ = nullptr;
};

// The smallest power of two >= n (1 for n <= 1).
int NextPowerOfTwo(int n);
// The smallest even length >= n whose other factors are 3, 5 and 7 only, lengths the FFT runs
// at nearly the speed of a power of two (2 for n <= 2).
int NextTransformSize(int n);

// dst(x, y) := scale * src(y, x); dst must be src's height wide and src's width high.
void TransposeScaled(const SineGrid& src, SineGrid& dst, float scale);

}  // namespace stitch
