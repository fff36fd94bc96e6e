#include "stitching/CropPanorama.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <type_traits>

#include "image/GaussianSmooth.h"
#include "stitching/MixedGradients.h"
#include "stitching/OutputConversion.h"
#include "stitching/PoissonSolver.h"

namespace stitch {

namespace {

// The strips carry a border of two zero pixels on every side.
constexpr int kBorder = 2;

template <class P>
auto ChannelOf(const P& p, int k) {
    return k == 0 ? p.b : k == 1 ? p.g : p.r;
}
template <class P>
auto& ChannelOf(P& p, int k) {
    return k == 0 ? p.b : k == 1 ? p.g : p.r;
}

// The largest channel value of an output image: 8-bit, or the wide output of 16-bit files.
constexpr float MaxChannelOf(const ImgRGB&) { return 255.0f; }
constexpr float MaxChannelOf(const ImgRGBSHORT&) { return static_cast<float>(kWideOutputMax); }

// Channel k of the g x h source block at (x0, y0) inside a zero border.
template <class Image>
void StripChannel(const Image& source, int x0, int y0, int g, int h, int k, ImgFLOAT& strip) {
    strip.Resize(g + 2 * kBorder, h + 2 * kBorder);
    strip.FillRect(0, 0, strip.width - 1, strip.height - 1, 0.0f);
    for (int y = 0; y < h; ++y) {
        const auto* in = source.Row(y0 + y) + x0;
        float* out = strip.Row(y + kBorder) + kBorder;
        for (int x = 0; x < g; ++x)
            out[x] = ChannelOf(in[x], k);
    }
}

// Y: 1 on columns n/3 .. 2n/3, 0 elsewhere, blurred with sigma n/12.
void MiddleWeight(int n, int rows, ImgFLOAT& Y) {
    Y.Resize(n, rows);
    for (int y = 0; y < rows; ++y) {
        float* row = Y.Row(y);
        for (int x = 0; x < n; ++x)
            row[x] = x >= n / 3 && x <= 2 * n / 3 ? 1.0f : 0.0f;
    }
    GaussianSmooth(Y, n / 12.0);
}

void CopyInto(const ImgRGB& source, ImgRGB& target, int x0, int y0) {
    target.FillRect(0, 0, target.width - 1, target.height - 1, Rgb{0, 0, 0});
    int sx0 = std::max(x0, 0), sy0 = std::max(y0, 0);
    int sx1 = std::min(x0 + target.width, source.width) - 1, sy1 = std::min(y0 + target.height, source.height) - 1;
    if (sx0 <= sx1 && sy0 <= sy1)
        source.CopyRect(sx0, sy0, sx1, sy1, target, sx0 - x0, sy0 - y0);
}

}  // namespace

void BlendTurnStrip(const ImgRGB& source, ImgRGB& target, int x0, int y0, int g) {
    ImgRGB first(g, target.height), beyond(g, target.height);
    source.CopyRect(x0, y0, x0 + g - 1, y0 + target.height - 1, first, 0, 0);
    source.CopyRect(x0 + target.width, y0, x0 + target.width + g - 1, y0 + target.height - 1, beyond, 0, 0);
    BlendTurnStrip(first, beyond);
    first.CopyRect(0, 0, g - 1, target.height - 1, target, 0, 0);
}

namespace {

template <class Image>
void BlendTurnStripOf(Image& first, const Image& beyond) {
    using Channel = std::remove_reference_t<decltype(ChannelOf(first.Row(0)[0], 0))>;
    const float top = MaxChannelOf(first);
    const int g = first.width, h = first.height, n = g + 2 * kBorder, rows = h + 2 * kBorder;
    ImgFLOAT m(n, rows), Y;
    for (int y = 0; y < rows; ++y) {
        float* row = m.Row(y);
        for (int x = 0; x < n; ++x)
            row[x] = x >= g / 2 + 2 && x <= g + 3 ? 1.0f : 0.0f;
    }
    MiddleWeight(n, rows, Y);
    ImgFLOAT V, U;
    for (int k = 0; k < 3; ++k) {
        // V: the crop's first g columns with their left half (strip columns 2 .. g/2 + 2) taken
        // from the strip beyond the turn; U: that strip. The mask takes U's gradients right of
        // the middle, V's (so again U's, continued) left of it.
        StripChannel(first, 0, 0, g, h, k, V);
        StripChannel(beyond, 0, 0, g, h, k, U);
        for (int y = 0; y < rows; ++y)
            std::copy(U.Row(y) + kBorder, U.Row(y) + g / 2 + 3, V.Row(y) + kBorder);
        PoissonSolver solver(n, rows);
        MixedDivergence(U, V, m, solver.Grid());
        solver.Solve();
        const SineGrid& Z = solver.Grid();
        for (int y = 0; y < h; ++y) {
            auto* out = first.Row(y);
            const float* v = V.Row(y + kBorder) + kBorder;
            const float* z = Z.Row(y + kBorder) + kBorder;
            const float* weight = Y.Row(y + kBorder) + kBorder;
            for (int x = 0; x < g; ++x) {
                float r = v[x] * (1 - weight[x]) + std::clamp(z[x], 0.0f, top) * weight[x];
                ChannelOf(out[x], k) = static_cast<Channel>(std::clamp(r, 0.0f, top));
            }
        }
    }
}

}  // namespace

void BlendTurnStrip(ImgRGB& first, const ImgRGB& beyond) { BlendTurnStripOf(first, beyond); }

void BlendTurnStrip(ImgRGBSHORT& first, const ImgRGBSHORT& beyond) { BlendTurnStripOf(first, beyond); }

CropFrame CropFrameOf(const CropRect& rect, const Crop360& crop360, int width, int height) {
    CropFrame frame;
    int x0 = static_cast<int>(rect.left), y0 = static_cast<int>(rect.top);
    int w = static_cast<int>(rect.width), h = static_cast<int>(rect.height);
    int g = 0;
    if (crop360.enabled) {
        g = w - crop360.turnWidth;
        if (g > 0)
            w = crop360.turnWidth;
    }
    if (w <= 10 || h <= 10) {
        // The whole panorama; there is no turn strip to blend in then.
        x0 = y0 = 0;
        w = width;
        h = height;
        g = 0;
    }
    // The strip beyond the turn must lie in the panorama, and cannot be wider than the turn.
    g = std::min({g, w, width - (x0 + w)});
    if (!crop360.enabled || g <= 0 || x0 < 0 || y0 < 0 || y0 + h > height)
        g = 0;
    frame.x0 = x0;
    frame.y0 = y0;
    frame.width = w;
    frame.height = h;
    frame.strip = g;
    return frame;
}

StageResult CropPanorama(const ImgRGB& source, ImgRGB& target, const CropRect& rect, const Crop360& crop360) {
    const CropFrame frame = CropFrameOf(rect, crop360, source.width, source.height);
    try {
        target.Resize(frame.width, frame.height);
        CopyInto(source, target, frame.x0, frame.y0);
        if (frame.strip > 0)
            BlendTurnStrip(source, target, frame.x0, frame.y0, frame.strip);
    } catch (const std::bad_alloc&) {
        target.Resize(0, 0);
        return StageResult::Failure(StageFailure::OutOfMemory, kCropAllocationFailure);
    }
    return StageResult();
}

}  // namespace stitch
