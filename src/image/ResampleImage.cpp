// Resampling by a scale: an optional anti-alias blur, then the span-interpolated warp.
#include "image/ResampleImage.h"

#include <cmath>
#include <limits>

#include "image/GaussianSmooth.h"
#include "image/WarpImage.h"

namespace {

// The warp leaves the last column or row unwritten where the bilinear sampler would need a
// neighbour beyond the source. Those pixels take the nearest written value, so that no
// undefined memory reaches the detector's smoothing.
void ReplicateIntoUnwritten(ImgFLOAT& image) {
    const int W = image.width, H = image.height;
    int lastFull = -1;
    for (int y = 0; y < H; ++y) {
        float* row = image.Row(y);
        int first = 0;
        while (first < W && std::isnan(row[first]))
            ++first;
        if (first == W)
            continue;
        for (int x = 0; x < first; ++x)
            row[x] = row[first];
        for (int x = first + 1; x < W; ++x)
            if (std::isnan(row[x]))
                row[x] = row[x - 1];
        if (lastFull < 0)
            for (int above = 0; above < y; ++above)
                std::copy(row, row + W, image.Row(above));
        lastFull = y;
    }
    for (int y = 0; y < H && lastFull >= 0; ++y)
        if (std::isnan(image.Row(y)[0]))
            std::copy(image.Row(lastFull), image.Row(lastFull) + W, image.Row(y));
}

void ReduceSmoothed(ImgFLOAT& smoothable, ImgFLOAT& result, double scale, double smoothingFactor) {
    if (scale < 1 && smoothingFactor > 0)
        GaussianSmooth(smoothable, smoothingFactor * std::log2(1 / scale));
    const double m[] = {scale, 0, 0, 0, scale, 0, 0, 0, 1};
    result.FillRect(0, 0, result.width - 1, result.height - 1, std::numeric_limits<float>::quiet_NaN());
    WarpImage(smoothable, result, CMatrix(3, 3, m), false);
    ReplicateIntoUnwritten(result);
}

bool SizeResult(const Img& source, ImgFLOAT& result, double scale) {
    if (!source.HasPixels() || !(scale > 0))
        return false;
    if (scale == 1) {
        result.Resize(source.width, source.height);
        source.CopyTo(result);
        return false;
    }
    result.Resize(static_cast<int>(source.width * scale), static_cast<int>(source.height * scale));
    return true;
}

}  // namespace

void ResampleImage(const Img& source, ImgFLOAT& result, double scale, double smoothingFactor) {
    if (!SizeResult(source, result, scale))
        return;
    ImgFLOAT copy(source.width, source.height);
    source.CopyTo(copy);
    ReduceSmoothed(copy, result, scale, smoothingFactor);
}

void ResampleImageConsuming(ImgFLOAT& source, ImgFLOAT& result, double scale, double smoothingFactor) {
    if (SizeResult(source, result, scale))
        ReduceSmoothed(source, result, scale, smoothingFactor);
}
