#include "stitching/CropRectangle.h"

#include <algorithm>
#include <vector>

#include "stitching/EmptySample.h"

namespace stitch {

namespace {

// The search runs in (u, v) coordinates: u along the direction the start line is widened in
// (x for a panorama wider than tall, y otherwise), v across it.
class RectangleSearch {
public:
    RectangleSearch(const ImgUCHAR& P, bool transposed)
        : P_(P), transposed_(transposed), U_(transposed ? P.height : P.width), V_(transposed ? P.width : P.height) {}

    struct Rect {
        int u0, v0, u1, v1;
        // All four edges are known to be covered: a move then needs only its new line checked.
        bool edgesCovered = false;
        long long Area() const { return static_cast<long long>(u1 - u0 + 1) * (v1 - v0 + 1); }
    };

    bool Valid(const Rect& r) const {
        return transposed_ ? CropEdgesFilled(P_, r.v0, r.u0, r.v1, r.u1) : CropEdgesFilled(P_, r.u0, r.v0, r.u1, r.v1);
    }

    // Widens the one-pixel start line along u, left edge first, until neither edge moves.
    void Widen(Rect& r) const {
        for (bool moved = true; moved;) {
            moved = false;
            moved |= TryMove(r, &Rect::u0, -1);
            moved |= TryMove(r, &Rect::u1, +1);
        }
    }

    // Up to `iterations` single moves of the low edge, else the high edge, of one coordinate
    // (v when growing across, u when growing along), recording larger areas in best. When
    // stuck, `shrinkOther` narrows the other coordinate by one on each side; without it the
    // rectangle has reached its end.
    void Grow(Rect r, bool acrossV, bool shrinkOther, Rect& best) const {
        int iterations = std::max(U_, V_);
        int Rect::*low = acrossV ? &Rect::v0 : &Rect::u0;
        int Rect::*high = acrossV ? &Rect::v1 : &Rect::u1;
        int Rect::*otherLow = acrossV ? &Rect::u0 : &Rect::v0;
        int Rect::*otherHigh = acrossV ? &Rect::u1 : &Rect::v1;
        for (int i = 0; i < iterations; ++i) {
            if (TryMove(r, low, -1) || TryMove(r, high, +1)) {
                if (r.Area() > best.Area())
                    best = r;
                continue;
            }
            if (!shrinkOther)
                return;
            r.*otherLow += 1;
            r.*otherHigh -= 1;
            r.edgesCovered = false;
            if (r.*otherLow > r.*otherHigh)
                return;
        }
    }

    CropRect ToCrop(const Rect& r) const {
        if (transposed_)
            return CropRect{double(r.v0), double(r.u0), double(r.v1 - r.v0 + 1), double(r.u1 - r.u0 + 1)};
        return CropRect{double(r.u0), double(r.v0), double(r.u1 - r.u0 + 1), double(r.v1 - r.v0 + 1)};
    }

private:
    bool TryMove(Rect& r, int Rect::*edge, int step) const {
        Rect moved = r;
        moved.*edge += step;
        if (moved.u0 < 0 || moved.v0 < 0 || moved.u1 >= U_ || moved.v1 >= V_)
            return false;
        // Where r's edges are covered, so are the moved rectangle's but for the line the edge
        // moved to (its ends included): that line alone decides.
        Rect line = moved;
        if (edge == &Rect::u0 || edge == &Rect::u1)
            line.u0 = line.u1 = moved.*edge;
        else
            line.v0 = line.v1 = moved.*edge;
        if (!Valid(r.edgesCovered ? line : moved))
            return false;
        r = moved;
        r.edgesCovered = true;
        return true;
    }

    const ImgUCHAR& P_;
    bool transposed_;
    int U_, V_;
};

}  // namespace

bool CropEdgesFilled(const ImgUCHAR& P, int x0, int y0, int x1, int y1) {
    if (x0 < 0 || y0 < 0 || x1 >= P.width || y1 >= P.height || x0 > x1 || y0 > y1)
        return false;
    for (int y : {y0, y1}) {
        const uint8_t* row = P.Row(y);
        for (int x = x0; x <= x1; ++x)
            if (!row[x])
                return false;
    }
    for (int y = y0; y <= y1; ++y)
        if (!P.Row(y)[x0] || !P.Row(y)[x1])
            return false;
    return true;
}

ImgUCHAR CoverageOf(const ImgRGBSHORT& P) {
    ImgUCHAR coverage(P.width, P.height);
    for (int y = 0; y < P.height; ++y) {
        const RgbSHORT* in = P.Row(y);
        uint8_t* out = coverage.Row(y);
        for (int x = 0; x < P.width; ++x)
            out[x] = IsEmptySample(in[x]) ? 0 : 1;
    }
    return coverage;
}

CropRect FindCropRectangle(const ImgUCHAR& P) {
    int W = P.width, H = P.height;
    if (W <= 0 || H <= 0)
        return CropRect{};
    std::vector<int> rowCount(static_cast<size_t>(H), 0), columnCount(static_cast<size_t>(W), 0);
    for (int y = 0; y < H; ++y) {
        const uint8_t* row = P.Row(y);
        for (int x = 0; x < W; ++x)
            if (row[x]) {
                ++rowCount[y];
                ++columnCount[x];
            }
    }
    int bestRow = static_cast<int>(std::max_element(rowCount.begin(), rowCount.end()) - rowCount.begin());
    int bestColumn = static_cast<int>(std::max_element(columnCount.begin(), columnCount.end()) - columnCount.begin());
    // Wider than tall when the fullest column holds fewer pixels than the fullest row.
    bool transposed = !(columnCount[bestColumn] < rowCount[bestRow]);
    RectangleSearch search(P, transposed);
    using Rect = RectangleSearch::Rect;
    int u = transposed ? bestRow : bestColumn, v = transposed ? bestColumn : bestRow;
    Rect start{u, v, u, v};
    search.Widen(start);
    Rect best = start;
    search.Grow(start, true, true, best);
    Rect across = best;
    search.Grow(across, false, false, best);
    return search.ToCrop(best);
}

}  // namespace stitch
