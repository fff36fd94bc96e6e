#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <type_traits>

#include "image/BilinearSample.h"
#include "image/Img.h"
#include "image/PixelConversion.h"
#include "image/PixelTraits.h"
#include "image/RawImageFile.h"

// Storage and the per-type operations over pixel type T. The concrete classes (ImgUCHAR, ...)
// fix T and the type code.
template <class T>
class ImgT : public Img {
public:
    using Pixel = T;

    ~ImgT() override = default;

    Img* Clone(bool emptyOnly) const override;
    bool Load(const char* path) override { return LoadRawImage(*this, path); }
    bool Save(const char* path) const override { return SaveRawImage(*this, path); }
    int CopyRect(int x0, int y0, int x1, int y1, Img& dst, int dx, int dy) const override;
    int CopyTo(Img& dst) const override { return CopyRect(0, 0, width - 1, height - 1, dst, 0, 0); }
    void Rotate90(Img& dst) const override;
    void Rotate180(Img& dst) const override;
    void Rotate270(Img& dst) const override;
    void FlipVertical(Img& dst) const override;
    void FlipHorizontal(Img& dst) const override;

    // Bilinear sample at (x, y); col = floor(x), row = floor(y), and col + 1, row + 1 inside.
    virtual void Interpolate(T* out, double x, double y, int col, int row) const;
    // Correlation with an odd-sized kernel, subsampled by the steps, edges replicated.
    virtual void FilterDecimate(const ImgT<float>& kernel, ImgT<T>& dst, int stepY, int stepX) const;

    T* Row(int y) const { return reinterpret_cast<T*>(rows[y]); }
    T& At(int x, int y) const { return Row(y)[x]; }

    int FillRect(int x0, int y0, int x1, int y1, const T& value);
    int DrawLine(int x0, int y0, int x1, int y1, const T& value);
    void DrawRectOutline(int x0, int y0, int x1, int y1, const T& value);
    // Scalar images only. A member template, so that instantiating the whole class for a
    // pixel structure never instantiates it.
    template <class U = T>
    requires std::is_arithmetic_v<U>
    int MinMax(int x0, int y0, int x1, int y1, float* min, float* max) const;

protected:
    explicit ImgT(int code) : Img(code) {}
    ImgT(int code, int w, int h) : Img(code) {
        if (w > 0 && h > 0)
            AllocateOwned(w, h);
    }
    ImgT(int code, int w, int h, void* memory) : Img(code) {
        if (w > 0 && h > 0 && memory)
            AttachView(w, h, static_cast<unsigned char*>(memory), StrideFor(code, w));
    }
    ImgT(int code, const ImgT<T>& source) : Img(code) { CopyFrom(source); }

    // Deep copy of an owner, another view of a view of the same type code.
    void CopyFrom(const ImgT<T>& source);
    void Walk(Img& dst, const pixel::Walk& walk) const { pixel::WalkInto<T>(*this, dst, walk); }
};

template <class T>
void ImgT<T>::CopyFrom(const ImgT<T>& source) {
    if (&source == this)
        return;
    ReleaseAll();
    if (!source.HasPixels())
        return;
    if (source.IsView() && source.typeCode == typeCode) {
        AttachView(source.width, source.height, source.pixels, source.rowStride);
        return;
    }
    AllocateOwned(source.width, source.height);
    source.CopyTo(*this);
}

template <class T>
int ImgT<T>::CopyRect(int x0, int y0, int x1, int y1, Img& dst, int dx, int dy) const {
    if (!HasPixels() || !dst.HasPixels())
        return -1;
    int sourceClip = ClipRect(x0, y0, x1, y1);
    if (sourceClip < 0)
        return -1;
    int ex0 = dx, ey0 = dy, ex1 = dx + (x1 - x0), ey1 = dy + (y1 - y0);
    int destClip = dst.ClipRect(ex0, ey0, ex1, ey1);
    if (destClip < 0)
        return -1;
    // A destination clipped at its left or top edge skips the source pixels that fell off.
    int skipX = ex0 - dx, skipY = ey0 - dy;
    pixel::Walk walk{x0 + skipX, y0 + skipY, 1, 0, 0, 1, ex1 - ex0 + 1, ey1 - ey0 + 1, ex0, ey0};
    Walk(dst, walk);
    return (sourceClip ? 1 : 0) + (destClip ? 2 : 0);
}

template <class T>
void ImgT<T>::Rotate90(Img& dst) const {
    int r = std::min(height, dst.width), c = std::min(width, dst.height);
    Walk(dst, pixel::Walk{0, r - 1, 0, -1, 1, 0, r, c, 0, 0});
}

template <class T>
void ImgT<T>::Rotate180(Img& dst) const {
    int w = std::min(width, dst.width), h = std::min(height, dst.height);
    Walk(dst, pixel::Walk{w - 1, h - 1, -1, 0, 0, -1, w, h, 0, 0});
}

template <class T>
void ImgT<T>::Rotate270(Img& dst) const {
    int c = std::min(width, dst.height), r = std::min(height, dst.width);
    Walk(dst, pixel::Walk{c - 1, 0, 0, 1, -1, 0, r, c, 0, 0});
}

template <class T>
void ImgT<T>::FlipVertical(Img& dst) const {
    int w = std::min(width, dst.width), h = std::min(height, dst.height);
    Walk(dst, pixel::Walk{0, h - 1, 1, 0, 0, -1, w, h, 0, 0});
}

template <class T>
void ImgT<T>::FlipHorizontal(Img& dst) const {
    int w = std::min(width, dst.width), h = std::min(height, dst.height);
    Walk(dst, pixel::Walk{w - 1, 0, -1, 0, 0, 1, w, h, 0, 0});
}

template <class T>
void ImgT<T>::Interpolate(T* out, double x, double y, int col, int row) const {
    BilinearSample(Row(row), Row(row + 1), out, x, y, col, row);
}

template <class T>
int ImgT<T>::FillRect(int x0, int y0, int x1, int y1, const T& value) {
    if (!HasPixels() || ClipRect(x0, y0, x1, y1) < 0)
        return -1;
    for (int y = y0; y <= y1; ++y) {
        T* row = Row(y);
        for (int x = x0; x <= x1; ++x)
            row[x] = value;
    }
    return 0;
}

template <class T>
int ImgT<T>::DrawLine(int x0, int y0, int x1, int y1, const T& value) {
    if (!HasPixels() || ClipLine(x0, y0, x1, y1) < 0)
        return -1;
    int dx = x1 - x0 + 1;
    int dy = std::abs(y1 - y0) + 1;
    int towardY = y1 >= y0 ? 1 : -1;
    int n = std::max(dx, dy);
    int minor = std::min(dx, dy);
    bool majorIsX = dx >= dy;
    int error = 2 * n;
    int x = x0, y = y0;
    for (int i = 0; i < n; ++i) {
        Row(y)[x] = value;
        error -= 2 * minor;
        if (majorIsX)
            ++x;
        else
            y += towardY;
        if (error <= 0) {
            if (majorIsX)
                y += towardY;
            else
                ++x;
            error += 2 * n;
        }
    }
    return 0;
}

template <class T>
void ImgT<T>::DrawRectOutline(int x0, int y0, int x1, int y1, const T& value) {
    DrawLine(x0, y0, x1, y0, value);
    DrawLine(x1, y0, x1, y1, value);
    DrawLine(x1, y1, x0, y1, value);
    DrawLine(x0, y1, x0, y0, value);
}

template <class T>
template <class U>
requires std::is_arithmetic_v<U>
int ImgT<T>::MinMax(int x0, int y0, int x1, int y1, float* min, float* max) const {
    if (!HasPixels() || ClipRect(x0, y0, x1, y1) < 0)
        return -1;
    float lo = static_cast<float>(Row(y0)[x0]), hi = lo;
    for (int y = y0; y <= y1; ++y) {
        const T* row = Row(y);
        for (int x = x0; x <= x1; ++x) {
            float v = static_cast<float>(row[x]);
            lo = v < lo ? v : lo;
            hi = v > hi ? v : hi;
        }
    }
    if (min)
        *min = lo;
    if (max)
        *max = hi;
    return 0;
}

#include "image/FilterDecimate.h"
