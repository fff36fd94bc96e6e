#include "image/Img.h"

#include "image/LargeBlocks.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <utility>

int BytesPerPixelOf(int typeCode) {
    static const int kBytes[] = {1, 2, 4, 4, 8, 16, 3, 4, 6, 8};
    return typeCode >= 0 && typeCode <= 9 ? kBytes[typeCode] : 0;
}

Img::Img(int code) : bytesPerPixel(BytesPerPixelOf(code)), typeCode(code) {}

Img::~Img() { ReleaseAll(); }

int Img::StrideFor(int code, int w) {
    int64_t stride = static_cast<int64_t>(w) * BytesPerPixelOf(code);
    if (code == kTypeUCHAR || code == kTypeRGB)
        stride = (stride + 3) & ~int64_t(3);
    if (stride > INT32_MAX)
        throw std::bad_alloc();
    return static_cast<int>(stride);
}

size_t Img::ByteCount() const { return static_cast<size_t>(rowStride) * static_cast<size_t>(height); }

void Img::AllocateOwned(int w, int h) {
    int stride = StrideFor(typeCode, w);
    // Sizes in 64 bits: a size that cannot be had raises the allocation exception.
    uint64_t bytes = static_cast<uint64_t>(stride) * static_cast<uint64_t>(h) + 3;
    if (bytes > PTRDIFF_MAX || static_cast<uint64_t>(h) > PTRDIFF_MAX / sizeof(unsigned char*))
        throw std::bad_alloc();
    auto* block = static_cast<unsigned char*>(TakeLargeBlock(static_cast<size_t>(bytes)));
    try {
        AttachView(w, h, reinterpret_cast<unsigned char*>((reinterpret_cast<uintptr_t>(block) + 3) & ~uintptr_t(3)),
                   stride);
    } catch (...) {
        GiveLargeBlock(block, static_cast<size_t>(bytes));
        throw;
    }
    ownedBlock = block;
}

void Img::AttachView(int w, int h, unsigned char* memory, int stride) {
    if (static_cast<uint64_t>(h) > PTRDIFF_MAX / sizeof(unsigned char*))
        throw std::bad_alloc();
    rows = static_cast<unsigned char**>(::operator new(sizeof(unsigned char*) * static_cast<size_t>(h)));
    width = w;
    height = h;
    rowStride = stride;
    pixels = memory;
    ownedBlock = nullptr;
    for (int y = 0; y < h; ++y)
        rows[y] = pixels + static_cast<size_t>(y) * static_cast<size_t>(stride);
    ResetRegion();
}

void Img::ReleaseAll() {
    if (ownedBlock)
        GiveLargeBlock(ownedBlock, ByteCount() + 3);
    ::operator delete(rows);
    ownedBlock = nullptr;
    rows = nullptr;
    pixels = nullptr;
    width = height = rowStride = 0;
    ResetRegion();
}

void Img::TakeOver(Img& other) noexcept {
    if (&other == this)
        return;
    ReleaseAll();
    width = other.width;
    height = other.height;
    roiLeft = other.roiLeft;
    roiTop = other.roiTop;
    roiRight = other.roiRight;
    roiBottom = other.roiBottom;
    rowStride = other.rowStride;
    ownedBlock = other.ownedBlock;
    pixels = other.pixels;
    rows = other.rows;
    other.ownedBlock = nullptr;
    other.pixels = nullptr;
    other.rows = nullptr;
    other.width = other.height = other.rowStride = 0;
    other.ResetRegion();
}

void Img::ResetRegion() {
    roiLeft = 0;
    roiTop = 0;
    roiRight = width - 1;
    roiBottom = height - 1;
}

bool Img::Resize(int w, int h) {
    if (IsView())
        return false;
    if (w <= 0 || h <= 0) {
        w = h = 0;
    }
    if (w == width && h == height)
        return true;
    ReleaseAll();
    if (w > 0 && h > 0)
        AllocateOwned(w, h);
    return true;
}

int Img::ClipRect(int& x0, int& y0, int& x1, int& y1) const {
    if (x0 > x1)
        std::swap(x0, x1);
    if (y0 > y1)
        std::swap(y0, y1);
    if (x1 < roiLeft || x0 > roiRight || y1 < roiTop || y0 > roiBottom || roiRight < roiLeft || roiBottom < roiTop) {
        x0 = y0 = x1 = y1 = 0;
        return -1;
    }
    int moved = 0;
    if (x0 < roiLeft) {
        x0 = roiLeft;
        moved |= 1;
    }
    if (x1 > roiRight) {
        x1 = roiRight;
        moved |= 2;
    }
    if (y0 < roiTop) {
        y0 = roiTop;
        moved |= 4;
    }
    if (y1 > roiBottom) {
        y1 = roiBottom;
        moved |= 8;
    }
    return moved;
}

namespace {

int OutCode(double x, double y, double left, double top, double right, double bottom) {
    int code = 0;
    if (x < left)
        code |= 1;
    else if (x > right)
        code |= 2;
    if (y < top)
        code |= 4;
    else if (y > bottom)
        code |= 8;
    return code;
}

int RoundInto(double v, int low, int high) {
    int r = static_cast<int>(v + 0.5);
    return r < low ? low : (r > high ? high : r);
}

}  // namespace

// Cohen-Sutherland in floating point: each violating endpoint moves along the segment onto
// the boundary it crosses, until both lie inside or the segment is seen to miss the region.
int Img::ClipLine(int& x0, int& y0, int& x1, int& y1) const {
    double left = roiLeft, top = roiTop, right = roiRight, bottom = roiBottom;
    double ax = x0, ay = y0, bx = x1, by = y1;
    bool inside = false;
    if (roiRight >= roiLeft && roiBottom >= roiTop) {
        for (int guard = 0; guard < 8; ++guard) {
            int ca = OutCode(ax, ay, left, top, right, bottom);
            int cb = OutCode(bx, by, left, top, right, bottom);
            if ((ca | cb) == 0) {
                inside = true;
                break;
            }
            if (ca & cb)
                break;
            int c = ca ? ca : cb;
            double x, y;
            if (c & 8) {
                x = ax + (bx - ax) * (bottom - ay) / (by - ay);
                y = bottom;
            } else if (c & 4) {
                x = ax + (bx - ax) * (top - ay) / (by - ay);
                y = top;
            } else if (c & 2) {
                y = ay + (by - ay) * (right - ax) / (bx - ax);
                x = right;
            } else {
                y = ay + (by - ay) * (left - ax) / (bx - ax);
                x = left;
            }
            if (c == ca) {
                ax = x;
                ay = y;
            } else {
                bx = x;
                by = y;
            }
        }
    }
    if (!inside) {
        x0 = y0 = x1 = y1 = 0;
        return -1;
    }
    x0 = RoundInto(ax, roiLeft, roiRight);
    y0 = RoundInto(ay, roiTop, roiBottom);
    x1 = RoundInto(bx, roiLeft, roiRight);
    y1 = RoundInto(by, roiTop, roiBottom);
    if (x0 >= x1) {
        std::swap(x0, x1);
        std::swap(y0, y1);
    }
    return 0;
}
