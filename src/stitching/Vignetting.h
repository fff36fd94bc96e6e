#pragma once

#include "stitching/Camera.h"

// The vignetting factor V = 1 + k1 r^2 + k2 r^4 + k3 r^6 of a camera at a source pixel, r the
// distance from its vignetting centre. The fit and the correction share this one formula so
// that what is fitted is exactly what is applied.
inline double VignettingFactor(const Camera& camera, double x, double y) {
    const double dx = x - camera.vignettingCentreX, dy = y - camera.vignettingCentreY;
    const double r2 = dx * dx + dy * dy;
    const double r4 = r2 * r2;
    return 1 + camera.vignetting[0] * r2 + camera.vignetting[1] * r4 + camera.vignetting[2] * r4 * r2;
}

// The photometric fields at their neutral values: offset 0, gain 1, no vignetting, the
// vignetting centre at the image centre.
inline void ResetPhotometricFields(Camera& camera) {
    for (int k = 0; k < 3; ++k) {
        camera.offsets[k] = 0;
        camera.gains[k] = 1;
        camera.vignetting[k] = 0;
    }
    camera.vignettingCentreX = camera.lens.width / 2;
    camera.vignettingCentreY = camera.lens.height / 2;
}
