#include "stitching/PanoramaRender.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "image/BilinearSample.h"
#include "image/GaussianSmooth.h"
#include "image/ParallelFor.h"
#include "image/WarpImage.h"
#include "stitching/CameraTransfer.h"
#include "stitching/ChannelRange.h"
#include "stitching/EmptySample.h"
#include "stitching/RenderMasks.h"

namespace {

const RgbSHORT kEmpty{EMPTY_SAMPLE, EMPTY_SAMPLE, EMPTY_SAMPLE};

// The anti-alias blur of a reduction, per channel, values truncated back toward zero. The
// channels are independent and run on all cores (the first photograph's copy is awaited
// while the other core has nothing else to do).
void BlurChannels(const ImgRGBSHORT& source, ImgRGBSHORT& blurred, double sigma) {
    const int w = source.width, h = source.height;
    blurred.Resize(w, h);
    ParallelFor(3, [&](int k) {
        ImgFLOAT channel(w, h);
        for (int y = 0; y < h; ++y) {
            const int16_t* in = &source.Row(y)->b + k;
            float* out = channel.Row(y);
            for (int x = 0; x < w; ++x)
                out[x] = in[3 * x];
        }
        GaussianSmooth(channel, sigma);
        for (int y = 0; y < h; ++y) {
            const float* in = channel.Row(y);
            int16_t* out = &blurred.Row(y)->b + k;
            for (int x = 0; x < w; ++x)
                out[3 * x] = static_cast<int16_t>(std::clamp(in[x], -32767.0f, 32767.0f));
        }
    });
}

// The scaling leaves the last column or row unwritten where the bilinear sample would need a
// neighbour beyond the source; those pixels take the nearest written value, so that samples
// near the working copy's edge never mix in the empty marker.
void ReplicateIntoUnwritten(ImgRGBSHORT& image) {
    const int W = image.width, H = image.height;
    int lastFull = -1;
    for (int y = 0; y < H; ++y) {
        RgbSHORT* row = image.Row(y);
        int first = 0;
        while (first < W && row[first].b == EMPTY_SAMPLE)
            ++first;
        if (first == W)
            continue;
        for (int x = 0; x < first; ++x)
            row[x] = row[first];
        for (int x = first + 1; x < W; ++x)
            if (row[x].b == EMPTY_SAMPLE)
                row[x] = row[x - 1];
        if (lastFull < 0)
            for (int above = 0; above < y; ++above)
                std::copy(row, row + W, image.Row(above));
        lastFull = y;
    }
    for (int y = 0; y < H && lastFull >= 0; ++y)
        if (image.Row(y)[0].b == EMPTY_SAMPLE)
            std::copy(image.Row(lastFull), image.Row(lastFull) + W, image.Row(y));
}

}  // namespace

void MakeWorkingCopy(const ImgRGBSHORT& corrected, double scale, int workWidth, int workHeight, WorkingCopy& copy) {
    copy.scale = scale;
    copy.image.Resize(workWidth, workHeight);
    copy.image.FillRect(0, 0, workWidth - 1, workHeight - 1, kEmpty);
    const double m[] = {scale, 0, 0, 0, scale, 0, 0, 0, 1};
    if (scale > 0 && scale < 1) {
        ImgRGBSHORT blurred;
        BlurChannels(corrected, blurred, -0.5 * std::log2(scale));
        WarpImage(blurred, copy.image, CMatrix(3, 3, m), false);
    } else {
        WarpImage(corrected, copy.image, CMatrix(3, 3, m), false);
    }
    int low = std::numeric_limits<int>::max(), high = std::numeric_limits<int>::min();
    ChannelRangeOf(copy.image, low, high);
    copy.minimum = low <= high ? low : 0;
    copy.maximum = low <= high ? high : 0;
    ReplicateIntoUnwritten(copy.image);
}

void MakeWorkingCopy(ImgRGBSHORT&& corrected, double scale, int workWidth, int workHeight, WorkingCopy& copy) {
    if (scale != 1 || workWidth != corrected.width || workHeight != corrected.height) {
        MakeWorkingCopy(static_cast<const ImgRGBSHORT&>(corrected), scale, workWidth, workHeight, copy);
        return;
    }
    // The photograph at its own resolution: no blur, no resampling, every pixel its own.
    copy.scale = 1;
    copy.image = std::move(corrected);
    int low = std::numeric_limits<int>::max(), high = std::numeric_limits<int>::min();
    ChannelRangeOf(copy.image, low, high);
    copy.minimum = low <= high ? low : 0;
    copy.maximum = low <= high ? high : 0;
}

void SeamMask(const Projection& projection, const Camera& camera, const WorkingCopy& copy,
              const std::vector<EarlierImage>& earlier, ImgUCHAR& seam) {
    const int w = copy.image.width, h = copy.image.height;
    seam.Resize(w, h);
    seam.FillRect(0, 0, w - 1, h - 1, 1);
    if (earlier.empty())
        return;
    const stitch::TentWeights tent(w, h);
    for (const EarlierImage& f : earlier) {
        const stitch::TentWeights earlierTent(f.workWidth, f.workHeight);
        const CameraTransfer transfer(projection, camera, *f.camera);
        stitch::ClearSeamMaskWhereEarlierWins(seam, tent, earlierTent, [&](int i, double* xs, double* ys) {
            transfer.WorkingRow(i, w, copy.scale, f.scale, xs, ys);
        });
    }
}

void WarpIntoRectangle(const WorkingCopy& copy, const InverseMapper& mapper, const ImgUCHAR& seam, const PixelRect& r,
                       const ImgRGBSHORT& background, int width, int height, ImgRGBSHORT& A, ImgRGBSHORT& B,
                       ImgUCHAR& C, ImgUCHAR& M) {
    A.Resize(r.width, r.height);
    B.Resize(r.width, r.height);
    C.Resize(r.width, r.height);
    M.Resize(r.width, r.height);
    const ImgRGBSHORT& W = copy.image;
    const int ww = W.width, wh = W.height;
    const RgbSHORT zero{0, 0, 0};
    // Bands of rows on all cores, each with its own row of source positions.
    ParallelRows(RowBands(r.height), [&](int, int begin, int end) {
        std::vector<double> xs(static_cast<size_t>(r.width)), ys(static_cast<size_t>(r.width));
        std::unique_ptr<bool[]> mapped(new bool[static_cast<size_t>(r.width)]);
        for (int y = begin; y < end; ++y) {
            const int v = r.top + y;
            RgbSHORT* a = A.Row(y);
            RgbSHORT* b = B.Row(y);
            uint8_t* c = C.Row(y);
            uint8_t* m = M.Row(y);
            const RgbSHORT* p = v >= 0 && v < height ? background.Row(y) : nullptr;
            if (p)
                mapper.SourceRow(r.left, v, r.width, xs.data(), ys.data(), mapped.get());
            for (int x = 0; x < r.width; ++x) {
                const int u = r.left + x;
                bool inside = p && u >= 0 && u < width && mapped[x];
                double sx = 0, sy = 0;
                int k = 0, l = 0;
                if (inside) {
                    sx = xs[x] * copy.scale;
                    sy = ys[x] * copy.scale;
                    inside = sx > 0 && sx < ww - 1 && sy > 0 && sy < wh - 1;
                    if (inside) {
                        k = static_cast<int>(sx);
                        l = static_cast<int>(sy);
                        inside = k > 0 && l > 0;
                    }
                }
                if (!inside) {
                    a[x] = b[x] = zero;
                    c[x] = m[x] = 0;
                    continue;
                }
                BilinearSample(W.Row(l), W.Row(l + 1), &a[x], sx, sy, k, l);
                b[x] = p[x].b == EMPTY_SAMPLE ? a[x] : p[x];
                c[x] = 1;
                m[x] = seam.Row(l)[k];
            }
        }
    });
}
