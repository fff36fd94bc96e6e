#include "image/WarpImage.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "image/BilinearSample.h"
#include "image/ParallelFor.h"
#include "linalg/PointTransform.h"

namespace {

// Sutherland-Hodgman against one axis-aligned edge.
std::vector<PointD> ClipEdge(const std::vector<PointD>& poly, bool useX, double bound, bool keepAbove) {
    std::vector<PointD> out;
    auto inside = [&](const PointD& p) {
        double v = useX ? p.x : p.y;
        return keepAbove ? v >= bound : v <= bound;
    };
    for (size_t i = 0; i < poly.size(); ++i) {
        const PointD& a = poly[i];
        const PointD& b = poly[(i + 1) % poly.size()];
        bool ia = inside(a), ib = inside(b);
        if (ia)
            out.push_back(a);
        if (ia != ib) {
            double av = useX ? a.x : a.y, bv = useX ? b.x : b.y;
            double t = (bound - av) / (bv - av);
            out.push_back({a.x + t * (b.x - a.x), a.y + t * (b.y - a.y)});
        }
    }
    return out;
}

// The source image's outline mapped into the destination and clipped to it.
std::vector<PointD> DestinationOutline(const CMatrix& transform, int w, int h, int dw, int dh) {
    std::vector<PointD> poly = {ApplyTransform(transform, 0, 0), ApplyTransform(transform, w - 1, 0),
                                ApplyTransform(transform, w - 1, h - 1), ApplyTransform(transform, 0, h - 1)};
    poly = ClipEdge(poly, true, 0, true);
    poly = ClipEdge(poly, true, dw - 1, false);
    poly = ClipEdge(poly, false, 0, true);
    return ClipEdge(poly, false, dh - 1, false);
}

constexpr double kEps = 1e-9;

// The columns of row y that the clipped outline covers; false when none.
bool SpanOfRow(const std::vector<PointD>& poly, int y, int width, int* x0, int* x1) {
    double left = 1e300, right = -1e300;
    for (size_t i = 0; i < poly.size(); ++i) {
        const PointD& a = poly[i];
        const PointD& b = poly[(i + 1) % poly.size()];
        double lo = std::min(a.y, b.y), hi = std::max(a.y, b.y);
        if (y < lo - kEps || y > hi + kEps)
            continue;
        double x = hi - lo < kEps ? std::min(a.x, b.x) : a.x + (y - a.y) / (b.y - a.y) * (b.x - a.x);
        double x2 = hi - lo < kEps ? std::max(a.x, b.x) : x;
        left = std::min(left, x);
        right = std::max(right, x2);
    }
    *x0 = std::max(0, static_cast<int>(std::ceil(left - kEps)));
    *x1 = std::min(width - 1, static_cast<int>(std::floor(right + kEps)));
    return *x1 >= *x0;
}

// From this many destination pixels on, the rows are warped on all cores.
constexpr long long kParallelPixels = 1 << 18;

template <class T>
bool WarpTyped(const ImgT<T>& src, ImgT<T>& dst, const CMatrix& transform, bool exact) {
    if (!src.HasPixels() || !dst.HasPixels())
        return false;
    const int w = src.width, h = src.height;
    const CMatrix inverse = transform.Inverse();
    const PointD corner = ApplyTransform(transform, w, h);
    const PointD back = ApplyTransform(inverse, corner);
    if (!(std::hypot(back.x - w, back.y - h) <= 0.001))
        return false;

    const std::vector<PointD> poly = DestinationOutline(transform, w, h, dst.width, dst.height);
    if (poly.size() < 3)
        return true;
    double top = poly[0].y, bottom = poly[0].y;
    for (const PointD& p : poly) {
        top = std::min(top, p.y);
        bottom = std::max(bottom, p.y);
    }
    // Truncation toward zero decides, as the bilinear sampler needs col + 1 and row + 1
    // inside; the range test first keeps the conversion defined.
    auto valid = [w, h](const PointD& s) {
        if (!(s.x > -1 && s.y > -1 && s.x < w && s.y < h))
            return false;
        int sx = static_cast<int>(s.x), sy = static_cast<int>(s.y);
        return sx + 1 < w && sy + 1 < h;
    };
    unsigned char* const* sourceRows = src.rows;
    const int firstRow = static_cast<int>(std::ceil(top - kEps)), lastRow = static_cast<int>(std::floor(bottom + kEps));
    auto warpRow = [&](int y) {
        int x0, x1;
        if (!SpanOfRow(poly, y, dst.width, &x0, &x1))
            return;
        // The span's ends are mapped exactly; in the non-exact mode the pixels between them
        // interpolate along the line joining the two mapped ends.
        const int spanStart = x0, spanEnd = x1;
        const PointD s0 = ApplyTransform(inverse, x0, y), s1 = ApplyTransform(inverse, x1, y);
        auto sourceOf = [&](int x) {
            if (exact)
                return ApplyTransform(inverse, x, y);
            double t = spanEnd == spanStart ? 0 : double(x - spanStart) / (spanEnd - spanStart);
            return PointD{s0.x + t * (s1.x - s0.x), s0.y + t * (s1.y - s0.y)};
        };
        while (x0 <= x1 && !valid(sourceOf(x0)))
            ++x0;
        while (x1 >= x0 && !valid(sourceOf(x1)))
            --x1;
        T* out = dst.Row(y);
        for (int x = x0; x <= x1; ++x) {
            const PointD s = sourceOf(x);
            const int col = static_cast<int>(s.x), row = static_cast<int>(s.y);
            BilinearSample(reinterpret_cast<const T*>(sourceRows[row]), reinterpret_cast<const T*>(sourceRows[row + 1]),
                           out + x, s.x, s.y, col, row);
        }
    };
    // Rows are independent: a large image's are shared between the cores.
    const int rows = lastRow - firstRow + 1;
    if (rows <= 0)
        return true;
    if (static_cast<long long>(rows) * dst.width < kParallelPixels) {
        for (int y = firstRow; y <= lastRow; ++y)
            warpRow(y);
    } else {
        ParallelRows(RowBands(rows), [&](int, int begin, int end) {
            for (int y = firstRow + begin; y < firstRow + end; ++y)
                warpRow(y);
        });
    }
    return true;
}

}  // namespace

bool WarpImage(const Img& source, Img& destination, const CMatrix& transform, bool exact) {
    if (source.typeCode != destination.typeCode)
        return false;
    switch (source.typeCode) {
    case kTypeUCHAR:
        return WarpTyped(static_cast<const ImgT<uint8_t>&>(source), static_cast<ImgT<uint8_t>&>(destination), transform,
                         exact);
    case kTypeINT:
        return WarpTyped(static_cast<const ImgT<int32_t>&>(source), static_cast<ImgT<int32_t>&>(destination), transform,
                         exact);
    case kTypeFLOAT:
        return WarpTyped(static_cast<const ImgT<float>&>(source), static_cast<ImgT<float>&>(destination), transform,
                         exact);
    case kTypeDOUBLE:
        return WarpTyped(static_cast<const ImgT<double>&>(source), static_cast<ImgT<double>&>(destination), transform,
                         exact);
    case kTypeRGB:
        return WarpTyped(static_cast<const ImgT<Rgb>&>(source), static_cast<ImgT<Rgb>&>(destination), transform, exact);
    case kTypeRGBA:
        return WarpTyped(static_cast<const ImgT<Rgba>&>(source), static_cast<ImgT<Rgba>&>(destination), transform,
                         exact);
    case kTypeRGBSHORT:
        return WarpTyped(static_cast<const ImgT<RgbSHORT>&>(source), static_cast<ImgT<RgbSHORT>&>(destination),
                         transform, exact);
    case kTypeCPXFLOAT:
        return WarpTyped(static_cast<const ImgT<CpxFLOAT>&>(source), static_cast<ImgT<CpxFLOAT>&>(destination),
                         transform, exact);
    default: return false;
    }
}
