// The engine's photometric fit: the main tree's edges and the photographs handed to the
// photometric stage, its gains, offsets and vignetting kept in the fitted cameras.
#include <QString>

#include "engine/EngineText.h"
#include "engine/PanoramaEngine.h"
#include "image/ImageFile.h"
#include "stitching/PhotometricFit.h"
#include "stitching/PhotometricImage.h"

namespace {

int CameraIndex(const std::vector<Camera>& cameras, int image) {
    for (size_t i = 0; i < cameras.size(); ++i)
        if (cameras[i].image == image)
            return static_cast<int>(i);
    throw "A tree image without a camera";
}

}  // namespace

bool PanoramaEngine::FitPhotometricCorrection() {
    PhotometricInput input;
    input.mode = GetPhotometricCorrectionType();
    input.correctionLimit = GetCorrectionLimit();
    // The edges with the fitted cameras' transfers (the pairs' own before any fit).
    const HierarchyNode* tree = fittedMainTree ? fittedMainTree.get() : mainTree.get();
    if (tree)
        ForEachPreOrder(tree->firstChild, [&](const HierarchyNode* node) {
            PhotometricEdge edge;
            edge.childCamera = CameraIndex(cameraList, node->image);
            edge.parentCamera = CameraIndex(cameraList, node->parent->image);
            edge.parentToChild = node->fromParent;
            // The pair's own homography from the node's image to its parent's.
            const ImageCombination& pair = combinations[static_cast<size_t>(node->pair)];
            edge.childToParent = pair.first == node->image ? pair.forward : pair.backward;
            input.edges.push_back(edge);
        });
    // A photograph that cannot be read throws on its worker; the stage reports the first in list
    // order on this thread.
    const PhotographSource photographs = Photographs();
    for (const Camera& camera : cameraList)
        input.photographWidths.push_back(images[static_cast<size_t>(camera.image)].width);
    input.load = [this, &photographs](int camera, ImgRGB& image) {
        // The small copies need little of a photograph: the decoder skips what the blur would
        // take away anyway.
        photographs.LoadReduced(cameraList[static_cast<size_t>(camera)].image, image, kPhotometricImageWidth);
        return true;
    };
    const int count = static_cast<int>(cameraList.size());
    // The stage stops at an abort and returns false, as it does when it cannot fit; which of
    // the two it was is remembered here, so that an abort is reported as one.
    bool aborted = false;
    input.blurring = [this, count, &aborted](int step, int total) {
        aborted = aborted ||
                  Step(step, total, Zelvo::Chars::Format(Tr("Blurring: Image %d of %d").c_str(), step, count).c_str());
        return aborted;
    };
    input.fitting = [this] { Status(Tr("Fitting photometric correction ...")); };
    const StageClock clock(stageTimes, "photometric_fit");
    PhotometricFitSummary summary;
    const bool fitted = ::FitPhotometricCorrection(cameraList, input, &summary);
    photometricResidual = summary.fitted ? summary.residualStdDev : -1;
    if (aborted)
        ThrowAborted();
    return fitted;
}
