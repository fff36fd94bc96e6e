#include "stitching/CanvasTones.h"

#include <algorithm>
#include <vector>

#include "stitching/ChannelRange.h"
#include "stitching/Contrast.h"
#include "stitching/EmptySample.h"

namespace stitch {

namespace {

// The smallest power of two that brings the panorama's coverage mask within the full size; it
// divides the tile size, so that no block of the mask straddles two tiles.
int CoverageScale(const PanoramaCanvas& canvas) {
    int scale = 1;
    while (static_cast<long long>(canvas.Width() / scale) * (canvas.Height() / scale) > kFullCoveragePixels &&
           scale < canvas.TileSize())
        scale *= 2;
    return scale;
}

// The tile's blocks of the coverage mask; each tile writes only its own blocks.
void MarkCoverage(const ImgRGBSHORT& tile, const PixelRect& rect, int scale, ImgUCHAR& coverage) {
    for (int by = rect.top / scale; by * scale < rect.Bottom() && by < coverage.height; ++by) {
        uint8_t* out = coverage.Row(by);
        for (int bx = rect.left / scale; bx * scale < rect.Right() && bx < coverage.width; ++bx) {
            bool filled = true;
            for (int y = by * scale - rect.top; filled && y < std::min(by * scale + scale, rect.Bottom()) - rect.top;
                 ++y) {
                const RgbSHORT* row = tile.Row(y);
                for (int x = bx * scale - rect.left; x < std::min(bx * scale + scale, rect.Right()) - rect.left; ++x)
                    if (IsEmptySample(row[x])) {
                        filled = false;
                        break;
                    }
            }
            out[bx] = filled ? 1 : 0;
        }
    }
}

// One range per tile, joined in tile order.
OutputRange JoinRanges(const std::vector<OutputRange>& ranges) {
    OutputRange joined;
    for (const OutputRange& r : ranges) {
        joined.lo = std::min(joined.lo, r.lo);
        joined.hi = std::max(joined.hi, r.hi);
    }
    return joined;
}

}  // namespace

TonedCanvas ApplyTonalSteps(PanoramaCanvas& canvas, const TonalSteps& steps) {
    const size_t tileCount = static_cast<size_t>(canvas.TilesAcross()) * canvas.TilesDown();
    std::vector<OutputRange> ranges(tileCount);

    // Pass 1: the brightness gradients, and the channel range the contrast adjustment needs.
    canvas.ForEachTile(
        [&](int index, const PixelRect& rect, ImgRGBSHORT& tile) {
            ApplyBrightnessGradient(steps.horizontal, tile, rect.left, rect.top);
            ApplyBrightnessGradient(steps.vertical, tile, rect.left, rect.top);
            OutputRange& r = ranges[static_cast<size_t>(index)];
            ChannelRangeOf(tile, r.lo, r.hi);
        },
        true);
    const OutputRange before = JoinRanges(ranges);
    const ContrastAdjustment adjustment = PlanContrastAdjustment(before.lo, before.hi);
    const int M = adjustment.maximum;

    // Pass 2: the adjustment, and the luminance histogram of its result. Tiles never written
    // are empty pixels, which count in the darkest bin.
    std::vector<std::vector<long long>> histograms(tileCount);
    long long visited = 0;
    std::vector<long long> pixels(tileCount, 0);
    canvas.ForEachTile(
        [&](int index, const PixelRect& rect, ImgRGBSHORT& tile) {
            ApplyContrastAdjustment(adjustment, tile);
            AddLuminanceHistogram(tile, M, histograms[static_cast<size_t>(index)]);
            pixels[static_cast<size_t>(index)] = static_cast<long long>(rect.width) * rect.height;
        },
        M > 0);
    const long long total = static_cast<long long>(canvas.Width()) * canvas.Height();
    std::vector<long long> counts(static_cast<size_t>(std::max(M, 0)), 0);
    for (size_t index = 0; index < tileCount; ++index) {
        visited += pixels[index];
        for (size_t bin = 0; bin < histograms[index].size(); ++bin)
            counts[bin] += histograms[index][bin];
    }
    if (!counts.empty())
        counts[0] += total - visited;
    const ContrastStretch stretch = PlanContrastStretch(counts, total, M, steps.gamma);

    // Pass 3: the stretch and gamma, then the range of the output conversion and the coverage.
    TonedCanvas toned;
    toned.coverageScale = CoverageScale(canvas);
    const int scale = toned.coverageScale;
    toned.coverage.Resize((canvas.Width() + scale - 1) / scale, (canvas.Height() + scale - 1) / scale);
    if (toned.coverage.HasPixels())
        toned.coverage.FillRect(0, 0, toned.coverage.width - 1, toned.coverage.height - 1, 0);
    std::fill(ranges.begin(), ranges.end(), OutputRange{});
    canvas.ForEachTile(
        [&](int index, const PixelRect& rect, ImgRGBSHORT& tile) {
            if (M > 0)
                ApplyContrastStretch(stretch, tile);
            OutputRange& r = ranges[static_cast<size_t>(index)];
            ChannelRangeOf(tile, r.lo, r.hi);
            MarkCoverage(tile, rect, scale, toned.coverage);
        },
        M > 0);
    toned.range = JoinRanges(ranges);
    return toned;
}

}  // namespace stitch
