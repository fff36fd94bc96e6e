#include <cstdint>

#include "stitching/PhotometricFit.h"
#include "stitching/Vignetting.h"

namespace {

// A corrected value may leave 0..255 (a bright sky under a gain above 1, a dark corner under a
// negative offset): the 16-bit working image keeps it. Only what 16 bits cannot hold is
// limited, and never to -32768, the render's mark of an empty pixel.
inline int16_t StoreCorrected(double v) {
    if (!(v > -32767.0))
        return -32767;
    if (v > 32767.0)
        return 32767;
    return static_cast<int16_t>(v);  // truncation toward zero
}

}  // namespace

void ApplyPhotometricCorrection(const Camera& camera, const ImgRGB& source, ImgRGBSHORT& target) {
    target.Resize(source.width, source.height);
    if (!source.HasPixels())
        return;
    const double g[3] = {camera.gains[0], camera.gains[1], camera.gains[2]};
    const double o[3] = {camera.offsets[0], camera.offsets[1], camera.offsets[2]};
    const bool vignetting = camera.vignetting[0] != 0 || camera.vignetting[1] != 0 || camera.vignetting[2] != 0;
    for (int y = 0; y < source.height; ++y) {
        const Rgb* in = source.Row(y);
        RgbSHORT* out = target.Row(y);
        for (int x = 0; x < source.width; ++x) {
            // Without vignetting V is exactly 1, so skipping the product changes no result.
            const double V = vignetting ? VignettingFactor(camera, x, y) : 1.0;
            out[x].b = StoreCorrected((in[x].b * g[0] + o[0]) * V);
            out[x].g = StoreCorrected((in[x].g * g[1] + o[1]) * V);
            out[x].r = StoreCorrected((in[x].r * g[2] + o[2]) * V);
        }
    }
}
