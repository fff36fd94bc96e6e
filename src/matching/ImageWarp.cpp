#include "matching/ImageWarp.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "image/GaussianSmooth.h"

namespace {

struct Vec2 {
    double x, y;
};

Vec2 Apply(const CMatrix& m, double x, double y) {
    double w = m(2, 0) * x + m(2, 1) * y + m(2, 2);
    return {(m(0, 0) * x + m(0, 1) * y + m(0, 2)) / w, (m(1, 0) * x + m(1, 1) * y + m(1, 2)) / w};
}

// Sutherland-Hodgman against one axis-aligned edge.
std::vector<Vec2> ClipEdge(const std::vector<Vec2>& poly, bool useX, double bound, bool keepAbove) {
    std::vector<Vec2> out;
    auto inside = [&](const Vec2& p) {
        double v = useX ? p.x : p.y;
        return keepAbove ? v >= bound : v <= bound;
    };
    for (size_t i = 0; i < poly.size(); ++i) {
        const Vec2& a = poly[i];
        const Vec2& b = poly[(i + 1) % poly.size()];
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

template <class T>
bool WarpTyped(const ImgT<T>& src, ImgT<T>& dst, const CMatrix& transform, bool exact) {
    if (!src.HasPixels() || !dst.HasPixels())
        return false;
    const int w = src.width, h = src.height;
    CMatrix inverse = transform.Inverse();
    Vec2 corner = Apply(transform, w, h);
    Vec2 back = Apply(inverse, corner.x, corner.y);
    if (!(std::hypot(back.x - w, back.y - h) <= 0.001))
        return false;

    std::vector<Vec2> poly = {Apply(transform, 0, 0), Apply(transform, w - 1, 0), Apply(transform, w - 1, h - 1),
                              Apply(transform, 0, h - 1)};
    poly = ClipEdge(poly, true, 0, true);
    poly = ClipEdge(poly, true, dst.width - 1, false);
    poly = ClipEdge(poly, false, 0, true);
    poly = ClipEdge(poly, false, dst.height - 1, false);
    if (poly.size() < 3)
        return true;

    double top = poly[0].y, bottom = poly[0].y;
    for (const Vec2& p : poly) {
        top = std::min(top, p.y);
        bottom = std::max(bottom, p.y);
    }
    const double eps = 1e-9;
    // Truncation toward zero decides, as the bilinear sampler's caller guarantees col + 1 and
    // row + 1 inside; the range test first keeps the conversion defined.
    auto valid = [w, h](const Vec2& s) {
        if (!(s.x > -1 && s.y > -1 && s.x < w && s.y < h))
            return false;
        int sx = static_cast<int>(s.x), sy = static_cast<int>(s.y);
        return sx + 1 < w && sy + 1 < h;
    };
    for (int y = static_cast<int>(std::ceil(top - eps)); y <= static_cast<int>(std::floor(bottom + eps)); ++y) {
        double left = 1e300, right = -1e300;
        for (size_t i = 0; i < poly.size(); ++i) {
            const Vec2& a = poly[i];
            const Vec2& b = poly[(i + 1) % poly.size()];
            double lo = std::min(a.y, b.y), hi = std::max(a.y, b.y);
            if (y < lo - eps || y > hi + eps)
                continue;
            double x = hi - lo < eps ? std::min(a.x, b.x) : a.x + (y - a.y) / (b.y - a.y) * (b.x - a.x);
            double x2 = hi - lo < eps ? std::max(a.x, b.x) : x;
            left = std::min(left, x);
            right = std::max(right, x2);
        }
        int x0 = std::max(0, static_cast<int>(std::ceil(left - eps)));
        int x1 = std::min(dst.width - 1, static_cast<int>(std::floor(right + eps)));
        if (x1 < x0)
            continue;
        Vec2 s0 = Apply(inverse, x0, y), s1 = Apply(inverse, x1, y);
        auto sourceOf = [&](int x) {
            if (exact)
                return Apply(inverse, x, y);
            double t = x1 == x0 ? 0 : double(x - x0) / (x1 - x0);
            return Vec2{s0.x + t * (s1.x - s0.x), s0.y + t * (s1.y - s0.y)};
        };
        while (x0 <= x1 && !valid(sourceOf(x0)))
            ++x0;
        while (x1 >= x0 && !valid(sourceOf(x1)))
            --x1;
        T* out = dst.Row(y);
        for (int x = x0; x <= x1; ++x) {
            Vec2 s = sourceOf(x);
            src.Interpolate(out + x, s.x, s.y, static_cast<int>(s.x), static_cast<int>(s.y));
        }
    }
    return true;
}

}  // namespace

bool WarpImage(const Img& source, Img& destination, const CMatrix& transform, bool exact) {
    if (source.typeCode != destination.typeCode)
        return false;
    switch (source.typeCode) {
    case kTypeUCHAR: return WarpTyped(static_cast<const ImgT<uint8_t>&>(source), static_cast<ImgT<uint8_t>&>(destination), transform, exact);
    case kTypeINT: return WarpTyped(static_cast<const ImgT<int32_t>&>(source), static_cast<ImgT<int32_t>&>(destination), transform, exact);
    case kTypeFLOAT: return WarpTyped(static_cast<const ImgT<float>&>(source), static_cast<ImgT<float>&>(destination), transform, exact);
    case kTypeDOUBLE: return WarpTyped(static_cast<const ImgT<double>&>(source), static_cast<ImgT<double>&>(destination), transform, exact);
    case kTypeRGB: return WarpTyped(static_cast<const ImgT<Rgb>&>(source), static_cast<ImgT<Rgb>&>(destination), transform, exact);
    case kTypeRGBA: return WarpTyped(static_cast<const ImgT<Rgba>&>(source), static_cast<ImgT<Rgba>&>(destination), transform, exact);
    case kTypeRGBSHORT: return WarpTyped(static_cast<const ImgT<RgbSHORT>&>(source), static_cast<ImgT<RgbSHORT>&>(destination), transform, exact);
    case kTypeCPXFLOAT: return WarpTyped(static_cast<const ImgT<CpxFLOAT>&>(source), static_cast<ImgT<CpxFLOAT>&>(destination), transform, exact);
    default: return false;
    }
}

namespace {

// The warp leaves the last column or row unwritten where the bilinear sampler would need a
// neighbour beyond the source. Those pixels take the nearest written value, so that no
// undefined memory reaches the detector's smoothing.
void ReplicateIntoUnwritten(ImgFLOAT& image) {
    const int W = image.width, H = image.height;
    int lastFull = -1;
    for (int y = 0; y < H; ++y) {
        float* row = image.Row(y);
        int first = 0;
        while (first < W && std::isnan(row[first]))
            ++first;
        if (first == W)
            continue;
        for (int x = 0; x < first; ++x)
            row[x] = row[first];
        for (int x = first + 1; x < W; ++x)
            if (std::isnan(row[x]))
                row[x] = row[x - 1];
        if (lastFull < 0)
            for (int above = 0; above < y; ++above)
                std::copy(row, row + W, image.Row(above));
        lastFull = y;
    }
    for (int y = 0; y < H && lastFull >= 0; ++y)
        if (std::isnan(image.Row(y)[0]))
            std::copy(image.Row(lastFull), image.Row(lastFull) + W, image.Row(y));
}

void ReduceSmoothed(ImgFLOAT& smoothable, ImgFLOAT& result, double scale, double smoothingFactor) {
    if (scale < 1 && smoothingFactor > 0)
        GaussianSmooth(smoothable, smoothingFactor * std::log2(1 / scale));
    const double m[] = {scale, 0, 0, 0, scale, 0, 0, 0, 1};
    result.FillRect(0, 0, result.width - 1, result.height - 1, std::numeric_limits<float>::quiet_NaN());
    WarpImage(smoothable, result, CMatrix(3, 3, m), false);
    ReplicateIntoUnwritten(result);
}

bool SizeResult(const Img& source, ImgFLOAT& result, double scale) {
    if (!source.HasPixels() || !(scale > 0))
        return false;
    if (scale == 1) {
        result.Resize(source.width, source.height);
        source.CopyTo(result);
        return false;
    }
    result.Resize(static_cast<int>(source.width * scale), static_cast<int>(source.height * scale));
    return true;
}

}  // namespace

void ResampleImage(const Img& source, ImgFLOAT& result, double scale, double smoothingFactor) {
    if (!SizeResult(source, result, scale))
        return;
    ImgFLOAT copy(source.width, source.height);
    source.CopyTo(copy);
    ReduceSmoothed(copy, result, scale, smoothingFactor);
}

void ResampleImageConsuming(ImgFLOAT& source, ImgFLOAT& result, double scale, double smoothingFactor) {
    if (SizeResult(source, result, scale))
        ReduceSmoothed(source, result, scale, smoothingFactor);
}

void MaxFilter(const ImgFLOAT& source, ImgFLOAT& result, int windowWidth, int windowHeight) {
    if (windowWidth % 2 == 0)
        --windowWidth;
    if (windowHeight % 2 == 0)
        --windowHeight;
    if (windowWidth < 3 || windowHeight < 3 || !source.HasPixels())
        return;
    const int W = source.width, H = source.height, hx = windowWidth / 2, hy = windowHeight / 2;
    ImgFLOAT rows(W, H);
    for (int y = 0; y < H; ++y) {
        const float* in = source.Row(y);
        float* out = rows.Row(y);
        for (int x = 0; x < W; ++x) {
            int a = std::max(0, x - hx), b = std::min(W - 1, x + hx);
            float m = in[a];
            for (int k = a + 1; k <= b; ++k)
                m = std::max(m, in[k]);
            out[x] = m;
        }
    }
    result.Resize(W, H);
    for (int y = 0; y < H; ++y) {
        int a = std::max(0, y - hy), b = std::min(H - 1, y + hy);
        float* out = result.Row(y);
        std::copy(rows.Row(a), rows.Row(a) + W, out);
        // Whole rows at a time: the compiler runs this contiguous maximum on vectors.
        for (int k = a + 1; k <= b; ++k) {
            const float* in = rows.Row(k);
            for (int x = 0; x < W; ++x)
                out[x] = std::max(out[x], in[x]);
        }
    }
}
