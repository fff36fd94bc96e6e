#include "stitching/PhotometricImage.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "image/GaussianSmooth.h"
#include "image/WarpImage.h"

namespace {

inline uint8_t RoundToByte(float v) {
    if (!(v > 0))
        return 0;
    if (v >= 254.5f)
        return 255;
    return static_cast<uint8_t>(v + 0.5f);
}

bool SamePixel(const Rgb& a, const Rgb& b) { return a.b == b.b && a.g == b.g && a.r == b.r; }

// The resampling leaves a target pixel unwritten where the bilinear sample would need a source
// neighbour beyond the last column or row: the last row or column of photographs up to about
// 600 pixels wide. Left black, the blur that follows would spread that black over the border
// samples; each such pixel takes the nearest written value of its row, and rows without any
// the nearest written row. `other` is the same warp into a differently filled image: a pixel
// is written exactly when both images agree.
void ReplicateIntoUnwritten(ImgRGB& image, const ImgRGB& other) {
    const int W = image.width, H = image.height;
    std::vector<bool> hasWritten(static_cast<size_t>(H), false);
    int firstFull = -1;
    for (int y = 0; y < H; ++y) {
        Rgb* row = image.Row(y);
        const Rgb* check = other.Row(y);
        int first = 0;
        while (first < W && !SamePixel(row[first], check[first]))
            ++first;
        if (first == W)
            continue;
        for (int x = first + 1; x < W; ++x)
            if (!SamePixel(row[x], check[x]))
                row[x] = row[x - 1];
        for (int x = 0; x < first; ++x)
            row[x] = row[first];
        hasWritten[static_cast<size_t>(y)] = true;
        if (firstFull < 0)
            firstFull = y;
    }
    if (firstFull < 0)
        return;  // nothing written at all (a photograph of one row or column): stays black
    for (int y = 0; y < firstFull; ++y)
        std::copy(image.Row(firstFull), image.Row(firstFull) + W, image.Row(y));
    for (int y = firstFull + 1; y < H; ++y)
        if (!hasWritten[static_cast<size_t>(y)])
            std::copy(image.Row(y - 1), image.Row(y - 1) + W, image.Row(y));
}

}  // namespace

void SmoothChannels(ImgRGB& image, double sigma) {
    if (!image.HasPixels())
        return;
    const int W = image.width, H = image.height;
    ImgFLOAT plane(W, H);
    for (int k = 0; k < 3; ++k) {
        for (int y = 0; y < H; ++y) {
            const uint8_t* in = reinterpret_cast<const uint8_t*>(image.Row(y)) + k;
            float* out = plane.Row(y);
            for (int x = 0; x < W; ++x)
                out[x] = in[3 * x];
        }
        GaussianSmooth(plane, sigma);
        for (int y = 0; y < H; ++y) {
            const float* in = plane.Row(y);
            uint8_t* out = reinterpret_cast<uint8_t*>(image.Row(y)) + k;
            for (int x = 0; x < W; ++x)
                out[3 * x] = RoundToByte(in[x]);
        }
    }
}

double MakePhotometricImage(ImgRGB& photograph, ImgRGB& small, double blurSigma) {
    if (!photograph.HasPixels()) {
        small.Resize(0, 0);
        return 0;
    }
    const double s = static_cast<double>(kPhotometricImageWidth) / photograph.width;
    const int W = std::max(1, static_cast<int>(photograph.width * s + 0.5));
    const int H = std::max(1, static_cast<int>(photograph.height * s + 0.5));
    if (s < 1)
        SmoothChannels(photograph, -0.5 * std::log2(s));
    const double m[9] = {s, 0, 0, 0, s, 0, 0, 0, 1};
    const CMatrix scaling(3, 3, m);
    ImgRGB result(W, H), check(W, H);
    result.FillRect(0, 0, W - 1, H - 1, Rgb{0, 0, 0});
    check.FillRect(0, 0, W - 1, H - 1, Rgb{255, 255, 255});
    WarpImage(photograph, result, scaling, false);
    WarpImage(photograph, check, scaling, false);
    ReplicateIntoUnwritten(result, check);
    SmoothChannels(result, blurSigma);
    small = std::move(result);
    return s;
}
