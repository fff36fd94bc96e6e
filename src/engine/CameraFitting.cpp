// The engine's camera fit: the hierarchy's trees and layout handed to the camera fitter, its
// cameras kept for the stitch.
#include <algorithm>

#include "engine/EngineText.h"
#include "engine/PanoramaEngine.h"
#include "image/PhotoMetadata.h"
#include "stitching/CameraFitter.h"

double PanoramaEngine::RecordedFocalLength(int image) const {
    if (image < 0 || image >= static_cast<int>(images.size()))
        return 0;
    const ImageRecord& record = images[static_cast<size_t>(image)];
    return RecordedFocalLengthPixels(ReadPhotoMetadata(record.path.c_str()), static_cast<int>(record.width),
                                     static_cast<int>(record.height));
}

// Said once for as long as it stays true: the fit runs again for every preview and stitch.
void PanoramaEngine::LogFocalLengthOrigin(const CameraFitInput& input, const CameraFitResult& fit) {
    std::string note;
    if (input.recordedFocalLength > 0 && fit.startedFromRecordedFocalLength)
        note =
            Zelvo::Chars::Format(Tr("The fit starts from the focal length the camera recorded, %.0f pixels.\n").c_str(),
                                 input.recordedFocalLength)
                .c_str();
    else if (input.recordedFocalLength > 0 && fit.pairsFocalLength > 0)
        note = Zelvo::Chars::Format(Tr("The camera recorded a focal length of %.0f pixels, the matched photographs "
                                       "give %.0f: the photographs' is used.\n")
                                        .c_str(),
                                    input.recordedFocalLength, fit.pairsFocalLength)
                   .c_str();
    if (!note.empty() && note != focalLengthNote)
        Log(note.c_str());
    focalLengthNote = note;
}

// A pair whose points disagree with all the others' (a repeated pattern matched wrongly, a
// moving subject) is left out of the fit; its photographs stay registered through their other
// pairs. Said once for as long as it stays so.
void PanoramaEngine::LogPairsLeftOut(const CameraFitResult& fit) {
    if (fit.pairsLeftOut == fitPairsLeftOut)
        return;
    fitPairsLeftOut = fit.pairsLeftOut;
    for (const auto& [child, parent] : fit.pairsLeftOut)
        Log(Zelvo::Chars::Format(Tr("Pair %d-%d is left out of the camera fit: its points do not agree with the "
                                    "other pairs'.\n")
                                     .c_str(),
                                 std::min(child, parent), std::max(child, parent))
                .c_str());
}

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
    input.spanningEdgesOnly = !fitAllPairs;
    const std::vector<int> treeImages = mainTree->DistinctImages();
    input.recordedFocalLength = treeImages.empty() ? 0 : RecordedFocalLength(treeImages.front());
    const StageClock clock(stageTimes, "camera_fit");
    CameraFitResult fit = ::FitCameras(input);
    LogFocalLengthOrigin(input, fit);
    if (!fit.outcome) {
        Log(Tr(fit.outcome.Reason().c_str()));
        RecordFailure(fit.outcome);
        cameraList.clear();
        closingCameraList.clear();
        return false;
    }
    LogPairsLeftOut(fit);
    cameraFitResidual = fit.residualStdDev;
    horizonCorrection = fit.horizonCorrection;
    cameraList = std::move(fit.cameraList);
    closingCameraList = std::move(fit.closingCameraList);
    // The photometric fit compares photographs through the fitted cameras' edge transfers. The
    // hierarchy itself keeps the pairs' own: every fit starts from them, so a stitch does not
    // depend on how often the cameras were fitted before it.
    fittedMainTree = std::move(fit.mainTree);
    return true;
}
