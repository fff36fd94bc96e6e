#include "render/ImageCompare.h"

#include <cmath>
#include <limits>

namespace render {

namespace {

void CheckSizes(const ImgRGB& a, const ImgRGB& b, const ImgUCHAR* mask) {
    if (a.width != b.width || a.height != b.height)
        throw CompareError("the images differ in size (" + std::to_string(a.width) + "x" + std::to_string(a.height) +
                           " and " + std::to_string(b.width) + "x" + std::to_string(b.height) + ")");
    if (mask && (mask->width != a.width || mask->height != a.height))
        throw CompareError("the mask differs in size from the images");
}

PsnrResult FromSquaredSum(double sum, long pixels) {
    if (pixels == 0)
        throw CompareError("no pixel to compare (empty images or an empty mask)");
    PsnrResult result;
    result.pixels = pixels;
    result.meanSquaredError = sum / (3.0 * static_cast<double>(pixels));
    result.decibels = result.meanSquaredError == 0 ? std::numeric_limits<double>::infinity()
                                                   : 10 * std::log10(255.0 * 255.0 / result.meanSquaredError);
    return result;
}

uint8_t Channel(const Rgb& p, int c) { return c == 0 ? p.b : c == 1 ? p.g : p.r; }

// compare(pixel of a, pixel of b) for every pixel the mask keeps (every pixel without a mask),
// row by row; returns how many.
template <class Compare>
long ForEachComparedPixel(const ImgRGB& a, const ImgRGB& b, const ImgUCHAR* mask, Compare compare) {
    long pixels = 0;
    for (int y = 0; y < a.height; ++y) {
        const Rgb* rowA = a.Row(y);
        const Rgb* rowB = b.Row(y);
        const uint8_t* rowM = mask ? mask->Row(y) : nullptr;
        for (int x = 0; x < a.width; ++x) {
            if (rowM && !rowM[x])
                continue;
            compare(rowA[x], rowB[x]);
            ++pixels;
        }
    }
    return pixels;
}

}  // namespace

PsnrResult PsnrWithFittedExposure(const ImgRGB& a, const ImgRGB& b, const ImgUCHAR* mask) {
    CheckSizes(a, b, mask);
    // Per channel: sums for the least-squares line b = gain a + offset.
    double sa[3] = {}, sb[3] = {}, saa[3] = {}, sab[3] = {};
    const double n = static_cast<double>(ForEachComparedPixel(a, b, mask, [&](const Rgb& pa, const Rgb& pb) {
        for (int c = 0; c < 3; ++c) {
            const double u = Channel(pa, c), v = Channel(pb, c);
            sa[c] += u;
            sb[c] += v;
            saa[c] += u * u;
            sab[c] += u * v;
        }
    }));
    double gain[3] = {1, 1, 1}, offset[3] = {0, 0, 0};
    for (int c = 0; c < 3 && n > 0; ++c) {
        const double variance = saa[c] - sa[c] * sa[c] / n;
        if (variance > 0) {
            gain[c] = (sab[c] - sa[c] * sb[c] / n) / variance;
            offset[c] = (sb[c] - gain[c] * sa[c]) / n;
        }
    }
    double sum = 0;
    const long pixels = ForEachComparedPixel(a, b, mask, [&](const Rgb& pa, const Rgb& pb) {
        for (int c = 0; c < 3; ++c) {
            const double d = gain[c] * Channel(pa, c) + offset[c] - Channel(pb, c);
            sum += d * d;
        }
    });
    return FromSquaredSum(sum, pixels);
}

PsnrResult Psnr(const ImgRGB& a, const ImgRGB& b, const ImgUCHAR* mask) {
    CheckSizes(a, b, mask);
    double sum = 0;
    const long pixels = ForEachComparedPixel(a, b, mask, [&](const Rgb& pa, const Rgb& pb) {
        const int db = pa.b - pb.b, dg = pa.g - pb.g, dr = pa.r - pb.r;
        sum += db * db + dg * dg + dr * dr;
    });
    return FromSquaredSum(sum, pixels);
}

ImgUCHAR MaskFromImage(const ImgRGB& image) {
    ImgUCHAR mask(image.width, image.height);
    for (int y = 0; y < image.height; ++y) {
        const Rgb* in = image.Row(y);
        uint8_t* out = mask.Row(y);
        for (int x = 0; x < image.width; ++x)
            out[x] = in[x].b + in[x].g + in[x].r > 3 * 127 ? 255 : 0;
    }
    return mask;
}

ImgRGB ImageFromMask(const ImgUCHAR& mask) {
    ImgRGB image(mask.width, mask.height);
    for (int y = 0; y < mask.height; ++y) {
        const uint8_t* in = mask.Row(y);
        Rgb* out = image.Row(y);
        for (int x = 0; x < mask.width; ++x)
            out[x] = in[x] ? Rgb{255, 255, 255} : Rgb{0, 0, 0};
    }
    return image;
}

}  // namespace render
