#include "stitching/PhotometricSamples.h"

#include <algorithm>
#include <cmath>

#include "linalg/PointTransform.h"

namespace {

// The bounding rectangle, in whole pixels of the child's small image, of the parent's small
// image outline mapped into it.
struct GridRect {
    int left = 0, top = 0, right = 0, bottom = 0;
};

// Grows [lo, hi] by v; points that did not map (not finite: on the horizon of the transfer)
// are left out, infinite ones end at the clamp.
void Extend(double v, double& lo, double& hi) {
    if (std::isnan(v))
        return;
    lo = std::min(lo, v);
    hi = std::max(hi, v);
}

// Clamped in floating point first, so that far-off points convert safely; for values inside
// the range this is the same as truncating first and clamping after.
int ClampTruncate(double v, int limit) { return static_cast<int>(std::clamp(v, 0.0, static_cast<double>(limit))); }

bool OverlapRect(const PhotometricEdge& edge, const ImgRGB& child, double childScale, const ImgRGB& parent,
                 double parentScale, GridRect& rect) {
    double minX = INFINITY, maxX = -INFINITY, minY = INFINITY, maxY = -INFINITY;
    auto visit = [&](int x, int y) {
        const PointD c = ApplyTransform(edge.parentToChild, x / parentScale, y / parentScale);
        Extend(c.x * childScale, minX, maxX);
        Extend(c.y * childScale, minY, maxY);
    };
    // The outline: top row left to right, right column down, bottom row right to left, left
    // column up (only its bounding box counts).
    const int W = parent.width, H = parent.height;
    for (int x = 0; x < W; ++x)
        visit(x, 0);
    for (int y = 1; y < H - 1; ++y)
        visit(W - 1, y);
    for (int x = W - 1; x >= 0; --x)
        visit(x, H - 1);
    for (int y = H - 2; y >= 1; --y)
        visit(0, y);
    if (minX > maxX || minY > maxY)
        return false;
    rect.left = ClampTruncate(minX, child.width);
    rect.right = ClampTruncate(maxX, child.width);
    rect.top = ClampTruncate(minY, child.height);
    rect.bottom = ClampTruncate(maxY, child.height);
    return true;
}

// Strictly inside the small image: not on its outermost pixels. v is x s_p or y s_p, and
// 0 < trunc(v) < size - 1 holds exactly for 1 <= v < size - 1 (never for NaN).
bool StrictlyInside(double v, int size) { return v >= 1 && v < size - 1; }

void ColourOf(const Rgb& p, double colour[3]) {
    colour[0] = p.b;
    colour[1] = p.g;
    colour[2] = p.r;
}

}  // namespace

std::vector<PhotometricSample> CollectEdgeSamples(const PhotometricEdge& edge, const ImgRGB& child, double childScale,
                                                  const ImgRGB& parent, double parentScale) {
    std::vector<PhotometricSample> samples;
    GridRect r;
    if (!child.HasPixels() || !parent.HasPixels() || !OverlapRect(edge, child, childScale, parent, parentScale, r))
        return samples;
    const int dx = std::max(static_cast<int>(0.1 * (r.right - r.left)), 1);
    const int dy = std::max(static_cast<int>(0.1 * (r.bottom - r.top)), 1);
    for (int y = r.top + dy; y < r.bottom - dy; y += dy)
        for (int x = r.left + dx; x < r.right - dx; x += dx) {
            PhotometricSample s;
            s.child = {x / childScale, y / childScale};
            s.parent = ApplyTransform(edge.childToParent, s.child);
            const double u = s.parent.x * parentScale, v = s.parent.y * parentScale;
            if (!StrictlyInside(u, parent.width) || !StrictlyInside(v, parent.height))
                continue;
            ColourOf(child.At(x, y), s.childColour);
            ColourOf(parent.At(static_cast<int>(u), static_cast<int>(v)), s.parentColour);
            samples.push_back(s);
        }
    return samples;
}

std::vector<PhotometricEdgeSamples> CollectPhotometricSamples(const std::vector<PhotometricEdge>& edges,
                                                              const std::vector<ImgRGB>& images,
                                                              const std::vector<double>& scales) {
    std::vector<PhotometricEdgeSamples> all;
    for (const PhotometricEdge& edge : edges) {
        const size_t c = static_cast<size_t>(edge.childCamera), p = static_cast<size_t>(edge.parentCamera);
        if (edge.childCamera < 0 || edge.parentCamera < 0 || c >= images.size() || p >= images.size())
            throw "CollectPhotometricSamples(): edge camera out of range";
        PhotometricEdgeSamples e;
        e.childCamera = edge.childCamera;
        e.parentCamera = edge.parentCamera;
        e.samples = CollectEdgeSamples(edge, images[c], scales[c], images[p], scales[p]);
        all.push_back(std::move(e));
    }
    return all;
}
