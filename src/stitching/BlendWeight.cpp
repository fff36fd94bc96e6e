#include "stitching/BlendWeight.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "stitching/DistanceTransform.h"

namespace stitch {

int BlendWidth(int w, int h, int percent) { return std::max(std::min(w, h) * percent / 100, 1); }

namespace {

// Row y of RingDistance: the distances 0, 1, 2 ... are FastSqrt of their squares, as the
// distance transform of the ring would give them, looked up in `roots`.
void RingDistanceRow(int w, int h, int y, const std::vector<float>& roots, float* __restrict row) {
    const int dy = std::min(y, h - 1 - y);
    for (int x = 0; x < w; ++x)
        row[x] = roots[static_cast<size_t>(std::min({dy, x, w - 1 - x}))];
}

std::vector<float> RingRoots(int w, int h) {
    std::vector<float> roots(static_cast<size_t>(std::max((std::min(w, h) + 1) / 2, 1)));
    for (size_t r = 0; r < roots.size(); ++r)
        roots[r] = FastSqrt(static_cast<float>(r * r));
    return roots;
}

}  // namespace

void RingDistance(int w, int h, ImgFLOAT& distance) {
    distance.Resize(w, h);
    const std::vector<float> roots = RingRoots(w, h);
    for (int y = 0; y < h; ++y)
        RingDistanceRow(w, h, y, roots, distance.Row(y));
}

void BlendWeight(const ImgUCHAR& M, int widthPercent, ImgFLOAT& omega) {
    int w = M.width, h = M.height;
    DistanceTransform(M, omega);
    const std::vector<float> roots = RingRoots(w, h);
    std::vector<float> ring(static_cast<size_t>(std::max(w, 0)));
    float cw = static_cast<float>(BlendWidth(w, h, widthPercent));
    float lo = std::numeric_limits<float>::max(), hi = -lo;
    for (int y = 0; y < h; ++y) {
        float* o = omega.Row(y);
        RingDistanceRow(w, h, y, roots, ring.data());
        const float* er = ring.data();
        for (int x = 0; x < w; ++x) {
            float d = std::min(o[x], cw), ee = std::min(er[x], cw);
            float v = ee > 0.0f ? (cw - d) * ee / ((ee + d) * cw) : 0.0f;
            o[x] = v;
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
    }
    // No spread: the new image owns no pixel (or none away from the border); the weight stays 0.
    float span = hi - lo;
    for (int y = 0; y < h; ++y) {
        float* o = omega.Row(y);
        for (int x = 0; x < w; ++x)
            o[x] = span > 0.0f ? (o[x] - lo) / span : 0.0f;
    }
}

void FeatherBlend(const ImgRGBSHORT& A, ImgRGBSHORT& B, const ImgUCHAR& M, int widthPercent) {
    ImgFLOAT omega;
    BlendWeight(M, widthPercent, omega);
    for (int y = 0; y < B.height; ++y) {
        const RgbSHORT* a = A.Row(y);
        RgbSHORT* b = B.Row(y);
        const float* o = omega.Row(y);
        for (int x = 0; x < B.width; ++x) {
            float wa = o[x], wb = 1.0f - o[x];
            b[x].b = ToChannel(a[x].b * wa + wb * b[x].b);
            b[x].g = ToChannel(a[x].g * wa + wb * b[x].g);
            b[x].r = ToChannel(a[x].r * wa + wb * b[x].r);
        }
    }
}

}  // namespace stitch
