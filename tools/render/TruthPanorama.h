#pragma once

// The panorama a perfect stitch would produce with the geometry a cameras file describes,
// sampled straight from the world. The panorama frame is tied to the world through the true
// cameras of the registered photographs, so only the stitcher's fit decides where things land.
#include <stdexcept>
#include <string>
#include <vector>

#include "image/ImgTypes.h"
#include "render/CamerasFile.h"
#include "render/GroundTruth.h"

namespace render {

class TruthError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct TruthOptions {
    bool crop = false;  // cut out the cameras file's crop window (an error when it has none)
    double margin = 0;  // how far inside a photograph (pixels) a covered direction must be
};

struct TruthPanorama {
    ImgRGB image;   // black where uncovered
    ImgUCHAR mask;  // 255 where a registered photograph sees the direction, else 0
    Mat3 worldFromPanorama{};
    double spreadDegrees = 0;  // largest disagreement between one image's estimate and the mean
    int registeredImages = 0;
    double gain[3] = {1, 1, 1};  // exposure applied to the world, red, green, blue
    double offset[3] = {0, 0, 0};
};

// For every panorama pixel: projection coordinates through the inverse transform, the ray in
// the panorama frame, the ray in the world frame, then the world's colour. The rotation
// panorama frame -> world is the rotation nearest to the sum over registered images i of
// WorldFromCamera(true view i) * rotation_i^T. Images are paired with the true views by file
// name. The exposure is the mean over registered images of the stitch's correction composed
// with the view's true exposure (gain 1, offset 0 when neither is given); true vignetting is
// taken as corrected. Coverage counts only registered photographs. Throws TruthError.
TruthPanorama RenderGroundTruthPanorama(const World& world, const std::vector<RenderedView>& truth,
                                        const CamerasFile& cameras, const TruthOptions& options = {});

// The last component of a path written with '/' or '\' separators.
std::string FileNameOf(const std::string& path);

}  // namespace render
