#pragma once

#include <cstddef>

#include "image/Pixels.h"

// Abstract base of every raster. Owning images free their block; views point at memory that
// the caller keeps alive. Rows are reached through the rows table, never by recomputing
// addresses per pixel.
class Img {
public:
    virtual ~Img();

    virtual Img* Clone(bool emptyOnly) const = 0;
    // The raw image file.
    virtual bool Load(const char* path) = 0;
    virtual bool Save(const char* path) const = 0;
    // Copies the rectangle (inclusive corners) to (dx, dy) of dst, converting each pixel to
    // dst's type. -1 when nothing is copied, else 0 + 1 (source clipped) + 2 (destination clipped).
    virtual int CopyRect(int x0, int y0, int x1, int y1, Img& dst, int dx, int dy) const = 0;
    virtual int CopyTo(Img& dst) const = 0;
    virtual void Rotate90(Img& dst) const = 0;
    virtual void Rotate180(Img& dst) const = 0;
    virtual void Rotate270(Img& dst) const = 0;
    virtual void FlipVertical(Img& dst) const = 0;
    virtual void FlipHorizontal(Img& dst) const = 0;

    // False for a view that has pixels; true without touching anything when the size is unchanged.
    bool Resize(int w, int h);
    // Swaps into order and clamps to the region of interest; -1 (all four 0) when outside,
    // else bits 1 left, 2 right, 4 top, 8 bottom for each edge that moved.
    int ClipRect(int& x0, int& y0, int& x1, int& y1) const;
    // Clips a segment to the region of interest; -1 (all four 0) when outside, else 0 with the
    // left endpoint first.
    int ClipLine(int& x0, int& y0, int& x1, int& y1) const;

    bool HasPixels() const { return pixels != nullptr; }
    bool IsView() const { return pixels != nullptr && ownedBlock == nullptr; }
    unsigned char* RowBytes(int y) const { return rows[y]; }
    // Bytes of one whole image buffer (stride x height).
    size_t ByteCount() const;

    int width = 0;
    int height = 0;
    int roiLeft = 0;
    int roiTop = 0;
    int roiRight = -1;
    int roiBottom = -1;
    int bytesPerPixel;
    int rowStride = 0;
    unsigned char* ownedBlock = nullptr;
    unsigned char* pixels = nullptr;
    int typeCode;
    unsigned char** rows = nullptr;

protected:
    explicit Img(int code);
    Img(const Img&) = delete;
    Img& operator=(const Img&) = delete;

    // The stride rule: width x bytes per pixel, rounded up to 4 for 8-bit gray and Rgb.
    static int StrideFor(int code, int w);
    // Allocates an owned block and the rows table for w x h (both > 0).
    void AllocateOwned(int w, int h);
    // Points the image at memory laid out with the given stride and builds the rows table.
    void AttachView(int w, int h, unsigned char* memory, int stride);
    void ReleaseAll();
    void ResetRegion();
    // Takes over other's pixels (owned block or view) and leaves other empty; both images
    // must have the same type code.
    void TakeOver(Img& other) noexcept;
};
