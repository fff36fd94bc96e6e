// The engine's camera fit: the hierarchy's trees and layout handed to the camera fitter, its
// cameras kept for the stitch.
#include "engine/EngineText.h"
#include "engine/PanoramaEngine.h"
#include "stitching/CameraFitter.h"

bool PanoramaEngine::FitCameras() {
    if (!mainTree) {
        cameraList.clear();
        closingCameraList.clear();
        RecordFailure(EngineFailure::NoOverlap, "no pair of photographs overlaps");
        return false;
    }
    CameraFitInput input;
    input.mainTree = mainTree.get();
    input.transitionTree = transitionTree.get();
    for (const ImageRecord& image : images)
        input.imageSizes.push_back({image.width, image.height});
    input.layoutPositions = layoutPositions;
    input.projectionType = GetProjection().Type();
    input.verticalCameraRotation = GetVerticalCameraRotation();
    CameraFitResult fit = ::FitCameras(input);
    if (!fit.outcome) {
        Log(Tr(fit.outcome.Reason().c_str()));
        RecordFailure(fit.outcome);
        cameraList.clear();
        closingCameraList.clear();
        return false;
    }
    cameraList = std::move(fit.cameraList);
    closingCameraList = std::move(fit.closingCameraList);
    // The photometric fit compares photographs through the fitted cameras' edge transfers. The
    // hierarchy itself keeps the pairs' own: every fit starts from them, so a stitch does not
    // depend on how often the cameras were fitted before it.
    fittedMainTree = std::move(fit.mainTree);
    return true;
}
