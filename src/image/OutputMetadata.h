#pragma once

#include <optional>
#include <string>
#include <vector>

#include "image/EmbeddedMetadata.h"
#include "image/PhotoMetadata.h"

// Where an equirectangular panorama lies on the full sphere, for photo-sphere viewers: the
// sphere 2 pi x pixelsPerRadian wide and pi x pixelsPerRadian high, the image's top-left corner
// at (left, top) on it, and the compass heading of the sphere's middle column.
struct PhotoSphereFacts {
    double pixelsPerRadian = 0;
    double left = 0, top = 0;
    double headingDegrees = 0;
};

// What holds of the panorama itself.
struct PanoramaFacts {
    int width = 0, height = 0;
    std::string software;                    // "Vedora 1.02"
    std::optional<PhotoSphereFacts> sphere;  // spherical panoramas only
};

// The metadata a panorama is written with: the reference photograph's EXIF minus what no longer
// holds (Orientation 1, no thumbnail or maker note, the panorama's own pixel size, the Software
// tag naming the program), its colour profile, and for a spherical panorama photo-sphere XMP.
// Whatever cannot be carried over is left out, with a sentence in notes.
EmbeddedMetadata PanoramaMetadata(const PhotoMetadata& reference, const PanoramaFacts& facts,
                                  std::vector<std::string>* notes);
