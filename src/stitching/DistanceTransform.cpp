#include "stitching/DistanceTransform.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <vector>

namespace stitch {

namespace {

// Scratch of the one-dimensional transform over up to n samples.
struct Envelope {
    explicit Envelope(int n)
        : f(static_cast<size_t>(n)), d(static_cast<size_t>(n)), v(static_cast<size_t>(n)),
          z(static_cast<size_t>(n) + 1) {}
    std::vector<float> f, d;
    std::vector<int> v;
    std::vector<float> z;
};

// d[q] := min over p of (q - p)^2 + f[p]: the parabolas rooted at every sample, of which the
// lower envelope is built left to right (v: roots of the envelope's parabolas, z: the
// boundaries between them), then read off.
void Transform1D(Envelope& e, int n) {
    const float* f = e.f.data();
    float* d = e.d.data();
    int* v = e.v.data();
    float* z = e.z.data();
    int k = 0;
    v[0] = 0;
    z[0] = -kInfiniteDistance;
    z[1] = kInfiniteDistance;
    for (int q = 1; q < n; ++q) {
        float fq = f[q] + static_cast<float>(q * q);
        // z[0] = -1e20 is never reached: s is at least -1e20 / 2.
        float s = (fq - (f[v[k]] + static_cast<float>(v[k] * v[k]))) / static_cast<float>(2 * q - 2 * v[k]);
        while (s <= z[k]) {
            --k;
            s = (fq - (f[v[k]] + static_cast<float>(v[k] * v[k]))) / static_cast<float>(2 * q - 2 * v[k]);
        }
        ++k;
        v[k] = q;
        z[k] = s;
        z[k + 1] = kInfiniteDistance;
    }
    k = 0;
    for (int q = 0; q < n; ++q) {
        while (z[k + 1] < static_cast<float>(q))
            ++k;
        const long long t = q - v[k];
        d[q] = static_cast<float>(t * t) + f[v[k]];
    }
}

// The squared distance of every pixel to the nearest set pixel of its own column: one sweep down
// and one up, row after row (a column at a time would walk the images across their rows).
// The envelope gives exactly these values on a mask's zeros and infinities.
void ColumnDistances(const ImgUCHAR& mask, ImgFLOAT& squared) {
    const int w = mask.width, h = mask.height;
    // Steps from the nearest set pixel above, or "none" (any value beyond the image's height).
    const int none = h + 1;
    std::vector<int> run(static_cast<size_t>(w), none);
    for (int y = 0; y < h; ++y) {
        const uint8_t* __restrict m = mask.Row(y);
        int* __restrict r = run.data();
        float* __restrict out = squared.Row(y);
        for (int x = 0; x < w; ++x) {
            r[x] = m[x] ? 0 : std::min(r[x] + 1, none);
            out[x] = static_cast<float>(r[x]);
        }
    }
    std::fill(run.begin(), run.end(), none);
    for (int y = h - 1; y >= 0; --y) {
        const uint8_t* __restrict m = mask.Row(y);
        int* __restrict r = run.data();
        float* __restrict out = squared.Row(y);
        for (int x = 0; x < w; ++x) {
            r[x] = m[x] ? 0 : std::min(r[x] + 1, none);
            const long long t = std::min(r[x], static_cast<int>(out[x]));
            out[x] = t >= none ? kInfiniteDistance : static_cast<float>(t * t);
        }
    }
}

}  // namespace

void SquaredDistanceTransform(const ImgUCHAR& mask, ImgFLOAT& squared) {
    int w = mask.width, h = mask.height;
    squared.Resize(w, h);
    if (w <= 0 || h <= 0)
        return;
    ColumnDistances(mask, squared);
    Envelope e(w);
    for (int y = 0; y < h; ++y) {
        float* row = squared.Row(y);
        std::copy(row, row + w, e.f.begin());
        Transform1D(e, w);
        std::copy(e.d.begin(), e.d.begin() + w, row);
    }
}

float FastSqrt(float x) {
    if (x < 1e-8f)
        return 0.0f;
    float half = x * 0.5f;
    float y = std::bit_cast<float>(0x5f3759df - (std::bit_cast<uint32_t>(x) >> 1));
    y = y * (1.5f - half * y * y);
    y = y * (1.5f - half * y * y);
    return x * y;
}

void DistanceTransform(const ImgUCHAR& mask, ImgFLOAT& distance) {
    SquaredDistanceTransform(mask, distance);
    for (int y = 0; y < distance.height; ++y) {
        float* row = distance.Row(y);
        for (int x = 0; x < distance.width; ++x)
            row[x] = FastSqrt(row[x]);
    }
}

}  // namespace stitch
