#include "image/GaussianSmooth.h"

#include <xmmintrin.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <new>

#include "image/ParallelFor.h"

namespace {

struct AlignedFree {
    void operator()(float* p) const { std::free(p); }
};
using Scratch = std::unique_ptr<float, AlignedFree>;

Scratch AllocateScratch(size_t floats) {
    void* p = std::aligned_alloc(16, ((floats * sizeof(float) + 15) / 16) * 16);
    if (!p)
        throw std::bad_alloc();
    return Scratch(static_cast<float*>(p));
}

// Filters n interleaved samples of four lanes each, in place in x[g], using w[g] as scratch,
// for G independent groups at once. Each step of the recursion waits on the previous one;
// running several groups side by side keeps the processor busy meanwhile. Every group gets
// exactly the arithmetic it would get alone.
template <int G>
void FilterLanes(float* const* x, float* const* w, int n, const GaussianCoefficients& k) {
    const __m128 B = _mm_set1_ps(k.B), a1 = _mm_set1_ps(k.a1), a2 = _mm_set1_ps(k.a2), a3 = _mm_set1_ps(k.a3);
    const __m128 g = _mm_set1_ps(k.g), gB = _mm_set1_ps(k.g + k.B);
    auto L = [](const float* p, int i) { return _mm_load_ps(p + 4 * i); };

    __m128 w1[G], w2[G], w3[G];
    for (int q = 0; q < G; ++q) {
        __m128 x0 = L(x[q], 0);
        _mm_store_ps(w[q], _mm_mul_ps(gB, x0));
        _mm_store_ps(w[q] + 4, _mm_add_ps(_mm_mul_ps(B, L(x[q], 1)), _mm_mul_ps(g, x0)));
        _mm_store_ps(w[q] + 8, _mm_add_ps(_mm_mul_ps(B, L(x[q], 2)), _mm_mul_ps(g, x0)));
        w1[q] = L(w[q], 2);
        w2[q] = L(w[q], 1);
        w3[q] = L(w[q], 0);
    }
    for (int i = 3; i < n; ++i)
        for (int q = 0; q < G; ++q) {
            __m128 v = _mm_add_ps(
                _mm_add_ps(_mm_add_ps(_mm_mul_ps(B, L(x[q], i)), _mm_mul_ps(a1, w1[q])), _mm_mul_ps(a2, w2[q])),
                _mm_mul_ps(a3, w3[q]));
            _mm_store_ps(w[q] + 4 * i, v);
            w3[q] = w2[q];
            w2[q] = w1[q];
            w1[q] = v;
        }

    __m128 y1[G], y2[G], y3[G];
    for (int q = 0; q < G; ++q) {
        __m128 wl = L(w[q], n - 1);
        _mm_store_ps(x[q] + 4 * (n - 1), _mm_mul_ps(gB, wl));
        _mm_store_ps(x[q] + 4 * (n - 2), _mm_add_ps(_mm_mul_ps(B, L(w[q], n - 2)), _mm_mul_ps(g, wl)));
        _mm_store_ps(x[q] + 4 * (n - 3), _mm_add_ps(_mm_mul_ps(B, L(w[q], n - 3)), _mm_mul_ps(g, wl)));
        y1[q] = L(x[q], n - 3);
        y2[q] = L(x[q], n - 2);
        y3[q] = L(x[q], n - 1);
    }
    for (int i = n - 4; i >= 0; --i)
        for (int q = 0; q < G; ++q) {
            __m128 v = _mm_add_ps(
                _mm_add_ps(_mm_add_ps(_mm_mul_ps(B, L(w[q], i)), _mm_mul_ps(a1, y1[q])), _mm_mul_ps(a2, y2[q])),
                _mm_mul_ps(a3, y3[q]));
            _mm_store_ps(x[q] + 4 * i, v);
            y3[q] = y2[q];
            y2[q] = y1[q];
            y1[q] = v;
        }
}

void FilterLanes(float* x, float* w, int n, const GaussianCoefficients& k) { FilterLanes<1>(&x, &w, n, k); }

// Rows y0 .. y0 + lanes - 1 interleaved so that sample j holds column j of each row.
void GatherRows(const ImgT<float>& image, int y0, int lanes, float* x) {
    const int W = image.width;
    const float* in[4];
    for (int l = 0; l < 4; ++l)
        in[l] = image.Row(y0 + std::min(l, lanes - 1));
    int j = 0;
    if (lanes == 4) {
        for (; j + 4 <= W; j += 4) {
            __m128 r0 = _mm_loadu_ps(in[0] + j), r1 = _mm_loadu_ps(in[1] + j);
            __m128 r2 = _mm_loadu_ps(in[2] + j), r3 = _mm_loadu_ps(in[3] + j);
            _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
            _mm_store_ps(x + 4 * j, r0);
            _mm_store_ps(x + 4 * j + 4, r1);
            _mm_store_ps(x + 4 * j + 8, r2);
            _mm_store_ps(x + 4 * j + 12, r3);
        }
    }
    for (; j < W; ++j)
        for (int l = 0; l < 4; ++l)
            x[4 * j + l] = in[l][j];
}

void ScatterRows(ImgT<float>& image, int y0, int lanes, const float* x) {
    const int W = image.width;
    float* out[4];
    for (int l = 0; l < lanes; ++l)
        out[l] = image.Row(y0 + l);
    int j = 0;
    if (lanes == 4) {
        for (; j + 4 <= W; j += 4) {
            __m128 r0 = _mm_load_ps(x + 4 * j), r1 = _mm_load_ps(x + 4 * j + 4);
            __m128 r2 = _mm_load_ps(x + 4 * j + 8), r3 = _mm_load_ps(x + 4 * j + 12);
            _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
            _mm_storeu_ps(out[0] + j, r0);
            _mm_storeu_ps(out[1] + j, r1);
            _mm_storeu_ps(out[2] + j, r2);
            _mm_storeu_ps(out[3] + j, r3);
        }
    }
    for (; j < W; ++j)
        for (int l = 0; l < lanes; ++l)
            out[l][j] = x[4 * j + l];
}

void HorizontalGroup(ImgT<float>& image, int y0, int lanes, float* x, float* w, const GaussianCoefficients& k) {
    GatherRows(image, y0, lanes, x);
    FilterLanes(x, w, image.width, k);
    ScatterRows(image, y0, lanes, x);
}

// Sixteen rows as four groups filtered side by side.
void HorizontalBlock(ImgT<float>& image, int y0, float* x, float* w, const GaussianCoefficients& k) {
    const size_t group = 4 * static_cast<size_t>(image.width);
    float* xs[4] = {x, x + group, x + 2 * group, x + 3 * group};
    float* ws[4] = {w, w + group, w + 2 * group, w + 3 * group};
    for (int g = 0; g < 4; ++g)
        GatherRows(image, y0 + 4 * g, 4, xs[g]);
    FilterLanes<4>(xs, ws, image.width, k);
    for (int g = 0; g < 4; ++g)
        ScatterRows(image, y0 + 4 * g, 4, xs[g]);
}

// Columns x0 .. x0 + lanes - 1: four adjacent floats of a row are one sample already.
void VerticalGroup(ImgT<float>& image, int x0, int lanes, float* x, float* w, const GaussianCoefficients& k) {
    const int H = image.height;
    if (lanes == 4) {
        for (int i = 0; i < H; ++i)
            _mm_store_ps(x + 4 * i, _mm_loadu_ps(image.Row(i) + x0));
    } else {
        for (int i = 0; i < H; ++i) {
            const float* row = image.Row(i) + x0;
            for (int l = 0; l < 4; ++l)
                x[4 * i + l] = row[std::min(l, lanes - 1)];
        }
    }
    FilterLanes(x, w, H, k);
    for (int i = 0; i < H; ++i) {
        float* row = image.Row(i) + x0;
        if (lanes == 4) {
            _mm_storeu_ps(row, _mm_load_ps(x + 4 * i));
        } else {
            for (int l = 0; l < lanes; ++l)
                row[l] = x[4 * i + l];
        }
    }
}

// Sixteen adjacent columns (four groups of four) gathered in one sweep down the image, so
// that every row visit uses a whole cache line; each group is then filtered on its own,
// exactly as a single group would be.
void VerticalBlock(ImgT<float>& image, int x0, float* x, float* w, const GaussianCoefficients& k) {
    const int H = image.height;
    const size_t group = 4 * static_cast<size_t>(H);
    for (int i = 0; i < H; ++i) {
        const float* row = image.Row(i) + x0;
        for (int g = 0; g < 4; ++g)
            _mm_store_ps(x + g * group + 4 * i, _mm_loadu_ps(row + 4 * g));
    }
    float* xs[4] = {x, x + group, x + 2 * group, x + 3 * group};
    float* ws[4] = {w, w + group, w + 2 * group, w + 3 * group};
    FilterLanes<4>(xs, ws, H, k);
    for (int i = 0; i < H; ++i) {
        float* row = image.Row(i) + x0;
        for (int g = 0; g < 4; ++g)
            _mm_storeu_ps(row + 4 * g, _mm_load_ps(x + g * group + 4 * i));
    }
}

}  // namespace

GaussianCoefficientsExact GaussianCoefficientsExactFor(double sigma) {
    double q = 1.31564 * (std::sqrt(1 + 0.490811 * sigma * sigma) - 1);
    double q2 = q * q, q3 = q2 * q;
    double b0 = 1.57825 + 2.44413 * q + 1.4281 * q2 + 0.422205 * q3;
    double a1 = (2.44413 * q + 2.85619 * q2 + 1.26661 * q3) / b0;
    double a2 = -(1.4281 * q2 + 1.26661 * q3) / b0;
    double a3 = 0.422205 * q3 / b0;
    double g = a1 + a2 + a3;
    return {1 - g, a1, a2, a3, g};
}

GaussianCoefficients GaussianCoefficientsFor(double sigma) {
    GaussianCoefficientsExact k = GaussianCoefficientsExactFor(sigma);
    return {static_cast<float>(k.B), static_cast<float>(k.a1), static_cast<float>(k.a2), static_cast<float>(k.a3),
            static_cast<float>(k.g)};
}

namespace {

// From this many pixels on, the rows and then the columns are shared between the cores: every
// row and every column is filtered on its own, so the result is the same however they are shared.
constexpr long long kParallelPixels = 1 << 18;

// Blocks of 16 lines and then groups of 4 over lines first .. last - 1, as one thread runs them.
template <class Block, class Group>
void FilterLines(int first, int last, int blockEnd, size_t scratch, Block block, Group group) {
    Scratch x = AllocateScratch(scratch), w = AllocateScratch(scratch);
    int line = first;
    for (; line + 16 <= std::min(last, blockEnd); line += 16)
        block(line, x.get(), w.get());
    for (; line < last; line += 4)
        group(line, std::min(4, last - line), x.get(), w.get());
}

// Lines 0 .. count - 1 in `parts` ranges, each a whole number of 16-line blocks but the last.
template <class Block, class Group>
void FilterAllLines(int count, int parts, size_t scratch, Block block, Group group) {
    const int blocks = count / 16;
    ParallelFor(parts, [&](int part) {
        const int first = 16 * (blocks * part / parts);
        const int last = part == parts - 1 ? count : 16 * (blocks * (part + 1) / parts);
        FilterLines(first, last, 16 * blocks, scratch, block, group);
    });
}

}  // namespace

void GaussianSmooth(ImgT<float>& image, double sigma) {
    const int W = image.width, H = image.height;
    if (!image.HasPixels() || W <= 3 || H <= 3)
        return;
    const GaussianCoefficients k = GaussianCoefficientsFor(sigma);
    const size_t scratch = 16 * static_cast<size_t>(std::max(W, H));
    const int parts = static_cast<long long>(W) * H >= kParallelPixels ? 2 : 1;
    FilterAllLines(
        H, parts, scratch, [&](int y, float* x, float* w) { HorizontalBlock(image, y, x, w, k); },
        [&](int y, int lanes, float* x, float* w) { HorizontalGroup(image, y, lanes, x, w, k); });
    FilterAllLines(
        W, parts, scratch, [&](int c, float* x, float* w) { VerticalBlock(image, c, x, w, k); },
        [&](int c, int lanes, float* x, float* w) { VerticalGroup(image, c, lanes, x, w, k); });
}
