#pragma once

// The cameras file that the command-line stitcher writes to describe what its fit found, as
// the ground-truth tools read it. The format (JSON):
//
//   {
//     "projection": "planar" | "cylindrical" | "spherical",
//     "focal_length": f,                        fitted focal length, pixels (informational)
//     "panorama": {"width": W, "height": H,
//                  "transform": [[...], [...], [...]]},
//                       projection coordinates -> panorama pixels, homogeneous; the pixel
//                       (u, v) is centred on integer coordinates
//     "planar": {"K": [[...], [...], [...]], "R": [[...], [...], [...]]},
//                       planar only; a panorama-frame ray d has the projection coordinates of
//                       K * R * d after the homogeneous division (R optional, identity)
//     "crop": {"left": l, "top": t, "width": w, "height": h},     optional, panorama pixels
//     "vignetting": [k1, k2, k3],               optional, shared by all images
//     "images": [{
//         "path": "...", "width": w, "height": h,
//         "registered": true,                   optional, true when absent
//         "rotation": [[...], [...], [...]],     camera ray (x right, y down, z forward) ->
//                                                panorama-frame ray; needed when registered
//         "yaw_deg": ..., "pitch_deg": ..., "roll_deg": ...,       optional, informational
//         "gain": g or [r, g, b], "offset": o or [r, g, b]          optional: the photometric
//                                correction the stitch applied, corrected = gain * value + offset
//     }, ...]
//   }
//
// Projection coordinates: cylindrical (theta, h), the panorama-frame ray (sin theta, h,
// cos theta); spherical (lambda, phi), the ray (sin lambda cos phi, sin phi, cos lambda cos
// phi); planar, pixels of the virtual image plane described by "planar". Matrices may also be
// given as nine numbers row by row. Unknown members are ignored.
//
// For the writer: "rotation" is each camera's full rotation into the panorama frame, not the
// one with its own longitude taken out, so theta and lambda are longitudes in that frame with
// every camera's longitude offset included. A planar stitch whose homographies are
// K0 * Rx(psi) * Ry(-mu) * R_J * K_J^-1 writes K = K0 and R = Rx(psi) * Ry(-mu). "crop" is the
// rectangle of the saved crop image, after any limit to one turn.
#include <optional>
#include <string>
#include <vector>

#include "render/Mat3.h"

namespace render {

enum class ProjectionKind { Planar, Cylindrical, Spherical };

struct CropWindow {
    int left = 0, top = 0, width = 0, height = 0;
};

struct CameraEntry {
    std::string path;
    int width = 0, height = 0;
    bool registered = true;
    Mat3 rotation{1, 0, 0, 0, 1, 0, 0, 0, 1};
    bool hasPhotometry = false;  // gain or offset given
    double gain[3] = {1, 1, 1};  // red, green, blue
    double offset[3] = {0, 0, 0};
};

struct CamerasFile {
    ProjectionKind projection = ProjectionKind::Cylindrical;
    double focalLength = 0;
    int panoramaWidth = 0, panoramaHeight = 0;
    Mat3 transform{1, 0, 0, 0, 1, 0, 0, 0, 1};
    Mat3 planarK{1, 0, 0, 0, 1, 0, 0, 0, 1};
    Mat3 planarR{1, 0, 0, 0, 1, 0, 0, 0, 1};
    std::optional<CropWindow> crop;
    std::vector<double> vignetting;
    std::vector<CameraEntry> images;
};

// Throws JsonError naming the offending member.
CamerasFile ParseCamerasFile(const std::string& text);
CamerasFile ReadCamerasFile(const std::string& path);

}  // namespace render
