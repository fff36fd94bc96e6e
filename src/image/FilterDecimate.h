#pragma once

// Correlation with a float kernel combined with subsampling. Source rows are clamped through
// a table of row pointers; columns are clamped only in the border bands, and interior pixels
// run the kernel four taps at a time.
#include <cmath>
#include <vector>

template <class T>
void ImgT<T>::FilterDecimate(const ImgT<float>& kernel, ImgT<T>& dst, int stepY, int stepX) const {
    using Traits = PixelTraits<T>;
    using C = typename Traits::Channel;
    using A = AccumulatorOf<T>;
    constexpr int kC = Traits::kChannels;
    if (!HasPixels() || !dst.HasPixels() || !kernel.HasPixels() || stepX <= 0 || stepY <= 0)
        return;
    const int W = width, H = height;
    const int outRows =
        std::min(static_cast<int>(std::round(static_cast<float>(H) / static_cast<float>(stepY))), dst.height);
    const int outCols =
        std::min(static_cast<int>(std::round(static_cast<float>(W) / static_cast<float>(stepX))), dst.width);
    const int kw = kernel.width, kh = kernel.height;
    const int hx = kw / 2, hy = kh / 2;

    // Output columns whose whole footprint lies inside the source need no clamping.
    int firstInterior = (hx + stepX - 1) / stepX;
    int lastInterior = (W - 1 - hx) >= 0 ? (W - 1 - hx) / stepX : -1;
    if (lastInterior >= outCols)
        lastInterior = outCols - 1;

    std::vector<const T*> sourceRows(static_cast<size_t>(kh));
    std::vector<int> clampedX(static_cast<size_t>(kw));
    for (int i = 0; i < outRows; ++i) {
        for (int ky = 0; ky < kh; ++ky) {
            int sy = std::clamp(i * stepY + ky - hy, 0, H - 1);
            sourceRows[ky] = Row(sy);
        }
        T* out = dst.Row(i);
        auto border = [&](int j) {
            A sum[kC] = {};
            for (int kx = 0; kx < kw; ++kx)
                clampedX[kx] = std::clamp(j * stepX + kx - hx, 0, W - 1);
            for (int ky = 0; ky < kh; ++ky) {
                const float* weights = kernel.Row(ky);
                const T* src = sourceRows[ky];
                for (int kx = 0; kx < kw; ++kx) {
                    const C* p = ChannelsOf(src[clampedX[kx]]);
                    for (int c = 0; c < kC; ++c)
                        sum[c] += static_cast<A>(weights[kx]) * static_cast<A>(p[c]);
                }
            }
            C* o = ChannelsOf(out[j]);
            for (int c = 0; c < kC; ++c)
                o[c] = StoreChannel<C>(sum[c]);
        };
        int j = 0;
        for (; j < outCols && (j < firstInterior || j > lastInterior); ++j)
            border(j);
        for (; j <= lastInterior; ++j) {
            A sum[kC] = {};
            const int x0 = j * stepX - hx;
            for (int ky = 0; ky < kh; ++ky) {
                const float* weights = kernel.Row(ky);
                const T* src = sourceRows[ky] + x0;
                int kx = 0;
                for (; kx + 4 <= kw; kx += 4) {
                    const C* p0 = ChannelsOf(src[kx]);
                    const C* p1 = ChannelsOf(src[kx + 1]);
                    const C* p2 = ChannelsOf(src[kx + 2]);
                    const C* p3 = ChannelsOf(src[kx + 3]);
                    for (int c = 0; c < kC; ++c) {
                        sum[c] += static_cast<A>(weights[kx]) * static_cast<A>(p0[c]);
                        sum[c] += static_cast<A>(weights[kx + 1]) * static_cast<A>(p1[c]);
                        sum[c] += static_cast<A>(weights[kx + 2]) * static_cast<A>(p2[c]);
                        sum[c] += static_cast<A>(weights[kx + 3]) * static_cast<A>(p3[c]);
                    }
                }
                for (; kx < kw; ++kx) {
                    const C* p = ChannelsOf(src[kx]);
                    for (int c = 0; c < kC; ++c)
                        sum[c] += static_cast<A>(weights[kx]) * static_cast<A>(p[c]);
                }
            }
            C* o = ChannelsOf(out[j]);
            for (int c = 0; c < kC; ++c)
                o[c] = StoreChannel<C>(sum[c]);
        }
        for (; j < outCols; ++j)
            border(j);
    }
}
