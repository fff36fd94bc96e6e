#include "stitching/StitchGeometry.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

CMatrix Translation(double dx, double dy) {
    const double m[9] = {1, 0, dx, 0, 1, dy, 0, 0, 1};
    return CMatrix(3, 3, m);
}

CMatrix Rotation(double angle) {
    const double c = std::cos(angle), s = std::sin(angle);
    const double m[9] = {c, -s, 0, s, c, 0, 0, 0, 1};
    return CMatrix(3, 3, m);
}

CMatrix Scale(double s) {
    const double m[9] = {s, 0, 0, 0, s, 0, 0, 0, 1};
    return CMatrix(3, 3, m);
}

// Every camera's outline on the surface. A photograph of a pole is drawn over the longitudes
// the other photographs span (more than a turn before the 360-degree crop), so the cap is
// whole wherever the crop puts the turn, and never widens the panorama beyond the others.
std::vector<RectD> CameraOutlines(const Projection& projection, const std::vector<Camera>& cameraList) {
    std::vector<RectD> outlines;
    std::vector<char> polar;
    std::optional<RectD> others;
    for (const Camera& camera : cameraList) {
        outlines.push_back(projection.Outline(camera));
        polar.push_back(projection.PoleSeen(camera) != 0);
        if (!polar.back())
            others = others ? others->United(outlines.back()) : outlines.back();
    }
    if (others)
        for (size_t k = 0; k < outlines.size(); ++k)
            if (polar[k]) {
                outlines[k].left = others->left;
                outlines[k].width = others->width;
            }
    return outlines;
}

}  // namespace

double LargestMagnification(const Projection& projection, const Camera& camera, const CMatrix& panoramaTransform) {
    constexpr int kSteps = 8;
    const double w = camera.lens.width, h = camera.lens.height;
    double largest = 0;
    for (int i = 0; i <= kSteps; ++i)
        for (int j = 0; j <= kSteps; ++j) {
            // A point one pixel inside the image and its neighbours one pixel on.
            const double x = 1 + (w - 3) * i / kSteps, y = 1 + (h - 3) * j / kSteps;
            const PointD p = projection.ForwardMap(camera, panoramaTransform, x, y);
            const PointD px = projection.ForwardMap(camera, panoramaTransform, x + 1, y);
            const PointD py = projection.ForwardMap(camera, panoramaTransform, x, y + 1);
            const double a = px.x - p.x, c = px.y - p.y, b = py.x - p.x, d = py.y - p.y;
            const double S = a * a + b * b + c * c + d * d, D = (a * d - b * c) * (a * d - b * c);
            const double stretch = std::sqrt((S + std::sqrt(std::max(0.0, S * S - 4 * D))) / 2);
            if (std::isfinite(stretch))
                largest = std::max(largest, stretch);
        }
    return largest;
}

double LoopSlope(const Projection& projection, const std::vector<Camera>& cameraList,
                 const HierarchyNode* transitionTree) {
    if (!transitionTree || !transitionTree->firstChild)
        return 0;
    const HierarchyNode* child = transitionTree->firstChild;
    auto camera = [&](int image) -> const Camera* {
        for (const Camera& c : cameraList)
            if (c.image == image)
                return &c;
        return nullptr;
    };
    const Camera* rootCamera = camera(transitionTree->image);
    const Camera* childCamera = camera(child->image);
    const size_t n = child->childPoints.size();
    if (!rootCamera || !childCamera || n == 0 || child->parentPoints.size() != n)
        return 0;
    PointD meanChild, meanParent;
    for (size_t k = 0; k < n; ++k) {
        PointD c = projection.ToSurface(*childCamera, child->childPoints[k].x, child->childPoints[k].y);
        PointD p = projection.ToSurface(*rootCamera, child->parentPoints[k].x, child->parentPoints[k].y);
        meanChild.x += c.x;
        meanChild.y += c.y;
        meanParent.x += p.x;
        meanParent.y += p.y;
    }
    // The sums' common factor 1/n cancels in the quotient.
    const double slope = std::atan((meanParent.y - meanChild.y) / (meanParent.x - meanChild.x));
    return std::isfinite(slope) ? slope : 0;
}

StitchGeometry InitStitchGeometry(std::vector<Camera>& cameraList, const HierarchyNode* transitionTree,
                                  const StitchGeometryParameters& parameters) {
    StitchGeometry geometry;
    if (cameraList.empty()) {
        geometry.outcome = StageResult::Failure("No cameras");
        return geometry;
    }
    const Projection& projection = ProjectionOf(parameters.projectionType);
    std::vector<RectD> outlines = CameraOutlines(projection, cameraList);
    RectD U = outlines[0];
    for (const RectD& outline : outlines)
        U = U.United(outline);

    geometry.loopSlope = LoopSlope(projection, cameraList, transitionTree);
    // A closed circle that is cropped to 360 degrees must stay level: the user's rotation would
    // tilt its seam.
    const double rotation = parameters.doCrop360Degrees && transitionTree ? 0 : parameters.panoramaImageRotation;
    const double delta = rotation - geometry.loopSlope;
    const RectD B = RectD{0, 0, U.width, U.height}.Transformed(Rotation(delta));
    const double s = (parameters.size - 1) / std::max(B.width, B.height);
    if (!(s > 0) || !std::isfinite(s)) {
        geometry.outcome = StageResult::Failure("Degenerate panorama size");
        return geometry;
    }
    geometry.panoramaTransform =
        Scale(s) * Translation(-B.left, -B.top) * Rotation(delta) * Translation(-U.left, -U.top);
    // Written out from its factors rather than eliminated numerically: exact and never singular.
    geometry.panoramaTransformInverse =
        Translation(U.left, U.top) * Rotation(-delta) * Translation(B.left, B.top) * Scale(1 / s);
    geometry.projectionRect = U;
    geometry.panoramaRect = U.Transformed(geometry.panoramaTransform);
    for (const RectD& outline : outlines)
        geometry.imageRects.push_back(outline.Transformed(geometry.panoramaTransform));
    for (Camera& camera : cameraList) {
        camera.toPanorama = geometry.panoramaTransform * camera.toPanorama;
        camera.fromPanorama = camera.fromPanorama * geometry.panoramaTransformInverse;
    }
    geometry.outcome = StageResult();
    return geometry;
}
