// The engine's stitch geometry: the camera fit, then the panorama transform and rectangles
// for one output size, and the mappings between source and panorama pixels.
#include "engine/EngineText.h"
#include "engine/PanoramaEngine.h"
#include "stitching/StitchGeometry.h"

#include <algorithm>
#include <cmath>

bool PanoramaEngine::InitStitchGeometry(int size) {
    if (images.empty()) {
        Log(Tr("No images,stitching failed.\n"));
        RecordFailure(EngineFailure::NoImages, "no photographs to stitch");
        return false;
    }
    if (!mainTree) {
        Log(Tr("No overlapping images,stitching failed.\n"));
        RecordFailure(EngineFailure::NoOverlap, "no pair of photographs overlaps");
        return false;
    }
    Status(Tr("Fitting cameras..."));
    if (!FitCameras()) {
        Log(Tr("Fitting cameras failed\n"));
        return false;
    }
    fittedCameraList = cameraList;
    return SetStitchGeometry(size);
}

bool PanoramaEngine::SetStitchGeometry(int size) {
    Status(Tr("Initialize stitch transforms and rectangles..."));
    // The geometry composes the cameras' planar transfers with the panorama transform: each
    // size starts from the fitted cameras.
    cameraList = fittedCameraList;
    StitchGeometryParameters parameters;
    parameters.projectionType = GetProjection().Type();
    parameters.size = size;
    parameters.panoramaImageRotation = GetPanoramaImageRotation();
    parameters.doCrop360Degrees = GetDoCrop360Degrees();
    StitchGeometry geometry = ::InitStitchGeometry(cameraList, transitionTree.get(), parameters);
    if (!geometry.Valid()) {
        Log(Tr(geometry.outcome.Reason().c_str()));
        RecordFailure(geometry.outcome);
        return false;
    }
    panoramaTransform = geometry.panoramaTransform;
    panoramaTransformInverse = geometry.panoramaTransformInverse;
    panoramaRect = geometry.panoramaRect;
    for (size_t i = 0; i < cameraList.size(); ++i)
        images[static_cast<size_t>(cameraList[i].image)].panoramaRect = geometry.imageRects[i];
    return true;
}

int PanoramaEngine::NativeSizeOfGeometry(int size) const {
    if (cameraList.empty() || size < 2)
        return 0;
    const CMatrix& T = panoramaTransform;
    const double scale = std::hypot(T(0, 0), T(1, 0));  // pixels per projection unit at this size
    const double extent = (size - 1) / scale;
    const double f = GetProjection().PixelsPerUnit(cameraList[0].focalLength);
    return static_cast<int>(std::clamp(std::round(f * extent) + 1, 128.0, double(kMaxPanoramaSize)));
}

int PanoramaEngine::NativeSize() {
    constexpr int kProbe = 1024;
    if (!InitStitchGeometry(kProbe))
        return 0;
    return NativeSizeOfGeometry(kProbe);
}

const Projection& PanoramaEngine::GetProjection() const {
    return ProjectionOf(static_cast<ProjectionType>(GetProjectionType()));
}

PointD PanoramaEngine::ForwardMap(int type, const Camera& camera, double x, double y) const {
    return ProjectionOf(static_cast<ProjectionType>(type)).ForwardMap(camera, panoramaTransform, x, y);
}

PointD PanoramaEngine::InverseMap(int type, const Camera& camera, double u, double v) const {
    return ProjectionOf(static_cast<ProjectionType>(type)).InverseMap(camera, panoramaTransformInverse, u, v);
}
