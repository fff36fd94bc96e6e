#pragma once

#include <memory>
#include <optional>

#include "linalg/RectD.h"
#include "stitching/CropPanorama.h"
#include "stitching/OutputConversion.h"
#include "stitching/PanoramaCanvas.h"

// The final stitch's panorama as the engine keeps it until the next stitch: the canvas with
// the tonal steps applied, the range of its 8-bit output, its automatic crop and whether it
// closes a full turn, with the turn's width, as they were when it was stitched.
struct StitchedPanorama {
    // The panorama's size, and the canvas's pixels per panorama pixel: below 1 where the panorama
    // is larger than its native size and is enlarged from a canvas drawn at that size.
    int width = 0;
    int height = 0;
    double scale = 1;
    std::unique_ptr<PanoramaCanvas> canvas;
    stitch::OutputRange range;
    RectD automaticCrop;
    bool closesTurn = false;
    int turnWidth = 0;  // Width360() of the stitch
    // Where a spherical panorama lies on the sphere, for its file's photo-sphere metadata:
    // panorama pixels per radian, the column the reference photograph's centre looks along and
    // the row of the horizon. Unset for the other projections, and where the panorama was turned
    // so that its rows are not the sphere's parallels.
    struct OnSphere {
        double pixelsPerRadian = 0;
        double referenceColumn = 0;
        double horizonRow = 0;
    };
    std::optional<OnSphere> onSphere;
    // The photograph whose EXIF and colour profile the panorama's file carries.
    int referenceImage = -1;
};
