#include "stitching/BlendWeight.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "stitching/DistanceTransform.h"

namespace stitch {

int BlendWidth(int w, int h, int percent) { return std::max(std::min(w, h) * percent / 100, 1); }

void RingDistance(int w, int h, ImgFLOAT& distance) {
    distance.Resize(w, h);
    for (int y = 0; y < h; ++y) {
        float* row = distance.Row(y);
        int dy = std::min(y, h - 1 - y);
        for (int x = 0; x < w; ++x) {
            int r = std::min({dy, x, w - 1 - x});
            row[x] = FastSqrt(static_cast<float>(r * r));
        }
    }
}

void BlendWeight(const ImgUCHAR& M, int widthPercent, ImgFLOAT& omega) {
    int w = M.width, h = M.height;
    ImgFLOAT e;
    RingDistance(w, h, e);
    DistanceTransform(M, omega);
    float cw = static_cast<float>(BlendWidth(w, h, widthPercent));
    float lo = std::numeric_limits<float>::max(), hi = -lo;
    for (int y = 0; y < h; ++y) {
        float* o = omega.Row(y);
        const float* er = e.Row(y);
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
