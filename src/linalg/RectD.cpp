#include "linalg/RectD.h"

#include <algorithm>

namespace {

PointD Map(const CMatrix& M, const PointD& p) {
    double w = M(2, 0) * p.x + M(2, 1) * p.y + M(2, 2);
    return {(M(0, 0) * p.x + M(0, 1) * p.y + M(0, 2)) / w, (M(1, 0) * p.x + M(1, 1) * p.y + M(1, 2)) / w};
}

}  // namespace

RectD RectD::BoundingBox(const std::vector<PointD>& points) {
    if (points.empty())
        return {};
    double x0 = points[0].x, x1 = x0, y0 = points[0].y, y1 = y0;
    for (const PointD& p : points) {
        x0 = std::min(x0, p.x);
        x1 = std::max(x1, p.x);
        y0 = std::min(y0, p.y);
        y1 = std::max(y1, p.y);
    }
    return FromEdges(x0, y0, x1, y1);
}

RectD RectD::United(const RectD& other) const {
    return FromEdges(std::min(left, other.left), std::min(top, other.top), std::max(Right(), other.Right()),
                     std::max(Bottom(), other.Bottom()));
}

RectD RectD::Transformed(const CMatrix& M) const {
    std::vector<PointD> mapped;
    for (const PointD& corner : Corners())
        mapped.push_back(Map(M, corner));
    return BoundingBox(mapped);
}
