#include "stitching/PhotometricFit.h"

#include <utility>

#include "stitching/PhotometricFitter.h"
#include "stitching/PhotometricImages.h"
#include "stitching/PhotometricSamples.h"
#include "stitching/Vignetting.h"

namespace {

constexpr int kModeColour = 1;
constexpr int kModeGray = 2;

bool Is3x3(const CMatrix& m) { return m.rows == 3 && m.cols == 3; }

// Broken contracts are reported before any photograph is decoded.
void CheckEdges(const std::vector<PhotometricEdge>& edges, size_t cameraCount) {
    for (const PhotometricEdge& e : edges) {
        if (e.childCamera < 0 || e.parentCamera < 0 || static_cast<size_t>(e.childCamera) >= cameraCount ||
            static_cast<size_t>(e.parentCamera) >= cameraCount)
            throw "FitPhotometricCorrection(): edge camera out of range";
        if (!Is3x3(e.parentToChild) || !Is3x3(e.childToParent))
            throw "FitPhotometricCorrection(): edge transfers must be 3 x 3";
    }
}

}  // namespace

bool FitPhotometricCorrection(std::vector<Camera>& cameras, const PhotometricInput& input,
                              PhotometricFitSummary* summary) {
    PhotometricFitSummary local;
    PhotometricFitSummary& result = summary ? *summary : local;
    result = PhotometricFitSummary{};
    for (Camera& c : cameras)
        ResetPhotometricFields(c);
    if (input.mode != kModeColour && input.mode != kModeGray)
        return true;
    CheckEdges(input.edges, cameras.size());

    std::vector<ImgRGB> images;
    std::vector<double> scales;
    if (!MakePhotometricImages(static_cast<int>(cameras.size()), input, images, scales))
        return false;

    if (input.fitting)
        input.fitting();

    PhotometricFitter fitter(cameras, input.mode == kModeColour, input.correctionLimit,
                             CollectPhotometricSamples(input.edges, images, scales));
    images.clear();
    result.samples = fitter.SampleCount();
    const PhotometricFitStatus status = fitter.Fit();
    result.fitted = status == PhotometricFitStatus::Fitted;
    result.diverged = status == PhotometricFitStatus::Diverged;
    result.residualStdDev = fitter.residualStdDev;
    result.iterations = fitter.iterations;
    return true;
}
