#pragma once

#include <optional>
#include <string>

#include "engine/PanoramaEngine.h"
#include "linalg/RectD.h"

// What the camera fit found and where the panorama lies, as JSON for scripts and for checking
// a stitch against known cameras:
//   {"projection": NAME, "focal_length": f,
//    "panorama": {"width": W, "height": H, "transform": 3 x 3 (projection coordinates -> pixels)},
//    "planar": {"K": ..., "R": ...}                    planar only: a panorama-frame ray d lies at
//                                                     the projection coordinates K R d
//    "crop": {"left", "top", "width", "height"}       when a crop was written
//    "vignetting": [k1, k2, k3]                       when photometric correction ran
//    "images": [{"path", "width", "height", "registered", "rotation": 3 x 3 (camera ray -> panorama
//               frame), "yaw_deg", "pitch_deg", "roll_deg", "gain": [r, g, b], "offset": [r, g, b]}]}
// Images left out of the fit have "registered": false and no rotation.
struct CamerasJsonExtras {
    int panoramaWidth = 0;  // the uncropped panorama
    int panoramaHeight = 0;
    std::optional<RectD> crop;
    bool photometry = false;  // write the cameras' gains, offsets and vignetting
};

std::string CamerasJson(const PanoramaEngine& engine, int panoramaWidth, int panoramaHeight,
                        const CamerasJsonExtras& extras = {});
