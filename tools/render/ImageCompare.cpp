#include "render/ImageCompare.h"

#include <cmath>
#include <limits>

namespace render {

PsnrResult Psnr(const ImgRGB& a, const ImgRGB& b, const ImgUCHAR* mask) {
    if (a.width != b.width || a.height != b.height)
        throw CompareError("the images differ in size (" + std::to_string(a.width) + "x" + std::to_string(a.height) +
                           " and " + std::to_string(b.width) + "x" + std::to_string(b.height) + ")");
    if (mask && (mask->width != a.width || mask->height != a.height))
        throw CompareError("the mask differs in size from the images");
    PsnrResult result;
    double sum = 0;
    for (int y = 0; y < a.height; ++y) {
        const Rgb* rowA = a.Row(y);
        const Rgb* rowB = b.Row(y);
        const uint8_t* rowM = mask ? mask->Row(y) : nullptr;
        for (int x = 0; x < a.width; ++x) {
            if (rowM && !rowM[x])
                continue;
            int db = rowA[x].b - rowB[x].b, dg = rowA[x].g - rowB[x].g, dr = rowA[x].r - rowB[x].r;
            sum += db * db + dg * dg + dr * dr;
            ++result.pixels;
        }
    }
    if (result.pixels == 0)
        throw CompareError("no pixel to compare (empty images or an empty mask)");
    result.meanSquaredError = sum / (3.0 * static_cast<double>(result.pixels));
    result.decibels = result.meanSquaredError == 0 ? std::numeric_limits<double>::infinity()
                                                   : 10 * std::log10(255.0 * 255.0 / result.meanSquaredError);
    return result;
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
