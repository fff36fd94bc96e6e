// The engine's crop: one turn's width of a closed panorama, and the crop of the stitched
// panorama into the image the user saves.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>

#include "engine/EngineText.h"
#include "engine/PanoramaEngine.h"
#include "stitching/CropPanorama.h"

int PanoramaEngine::Width360() const {
    if (!transitionTree || !transitionTree->firstChild)
        return 0;
    const HierarchyNode* root = transitionTree.get();
    const HierarchyNode* child = root->firstChild;
    const Camera* childCamera = FindCameraOf(cameraList, child->image);
    const Camera* childClosing = FindCameraOf(closingCameraList, child->image);
    const Camera* rootCamera = FindCameraOf(cameraList, root->image);
    if (!childCamera || !childClosing || !rootCamera || child->childPoints.empty())
        return 0;
    const int type = GetProjectionType();
    // Two estimates of the distance between a scene point and its repetition one turn later:
    // the child's points through its camera in the main list and in the closing list, and the
    // transition pair's points through the child's and the root's cameras.
    double x1 = 0, x2 = 0, xc = 0, xr = 0;
    const double n = static_cast<double>(child->childPoints.size());
    for (size_t k = 0; k < child->childPoints.size(); ++k) {
        const PointD& q = child->childPoints[k];
        const double mapped = ForwardMap(type, *childCamera, q.x, q.y).x / n;
        x1 += mapped;
        x2 += ForwardMap(type, *childClosing, q.x, q.y).x / n;
        xc += mapped;
        const PointD& p = child->parentPoints[k];
        xr += ForwardMap(type, *rootCamera, p.x, p.y).x / n;
    }
    const int d1 = static_cast<int>(std::fabs(x1 - x2 + 0.5));
    const int d2 = static_cast<int>(std::fabs(xc - xr + 0.5));
    // The two agree on a ring. Where the transition's child sees a pole, its closing camera can
    // come out as its main one (d1 = 0), and the mean would cut the panorama at half a turn: the
    // estimate that agrees with the turn of the panorama transform (2 pi times its pixels per
    // radian of longitude) is taken then.
    const int analytic = static_cast<int>(std::fabs(2 * std::numbers::pi * panoramaTransform(0, 0)));
    const int tolerance = std::max(2, analytic / 50);
    if (std::abs(d1 - d2) > tolerance)
        return std::abs(d1 - analytic) <= std::abs(d2 - analytic) ? d1 : d2;
    return (d1 + d2) / 2;
}

bool PanoramaEngine::CropPanorama(const ImgRGB& source, ImgRGB& target, const RectD& rect) {
    stitch::Crop360 crop360;
    crop360.enabled = transitionTree && GetDoCrop360Degrees();
    crop360.turnWidth = crop360.enabled ? Width360() : 0;
    const stitch::CropRect frame{rect.left, rect.top, rect.width, rect.height};
    const StageResult cropped = stitch::CropPanorama(source, target, frame, crop360);
    if (cropped)
        return true;
    Log(Tr(cropped.Reason().c_str()));
    RecordFailure(cropped);
    return false;
}
