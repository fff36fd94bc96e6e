#pragma once

#include <vector>

#include "linalg/CMatrix.h"
#include "linalg/PointD.h"
#include "linalg/RectD.h"
#include "matching/HierarchyNode.h"
#include "stage/StageResult.h"
#include "stitching/Camera.h"
#include "stitching/Projection.h"

struct StitchGeometryParameters {
    ProjectionType projectionType = ProjectionType::Planar;
    // The longer side of the panorama in pixels: panoramaImageSize for the final stitch,
    // panoramaPreviewImageSize for the preview.
    int size = 0;
    double panoramaImageRotation = 0;  // radians
    bool doCrop360Degrees = false;
};

// Where the panorama lies: the transform from projection coordinates to panorama pixels and
// the rectangles in panorama pixels.
struct StitchGeometry {
    // Done, or why there is no geometry.
    StageResult outcome = StageResult::Failure("No stitch geometry");
    bool Valid() const { return outcome.Ok(); }
    CMatrix panoramaTransform;
    CMatrix panoramaTransformInverse;
    RectD panoramaRect;
    // One per cameraList entry: the outline's bounding box of that camera's image.
    std::vector<RectD> imageRects;
    // The union of the outlines in projection coordinates.
    RectD projectionRect;
    double loopSlope = 0;

    // The size of the image a render makes; its longer side is `size` pixels.
    int PanoramaWidth() const { return static_cast<int>(panoramaRect.width + 1.5); }
    int PanoramaHeight() const { return static_cast<int>(panoramaRect.height + 1.5); }
};

// The most a camera's image is enlarged on its way into the panorama: the largest stretch (the
// larger singular value of the mapping's Jacobian) over a grid of points covering the image, in
// panorama pixels per source pixel. 1 at the image centres of a panorama at its native size.
double LargestMagnification(const Projection& projection, const Camera& camera, const CMatrix& panoramaTransform);

// The slope (radians) of the line from the transition tree's first child to its root, through
// the mean of their edge's mapped points: across a full circle, the height the chain of images
// gains or loses per unit of longitude. 0 without a transition tree or its points.
double LoopSlope(const Projection& projection, const std::vector<Camera>& cameraList,
                 const HierarchyNode* transitionTree);

// The panorama transform S T(-B.left, -B.top) Rot(delta) T(-U.left, -U.top) with U the union of
// the outlines, delta the user's rotation minus the loop slope (no user rotation for a closed
// 360-degree panorama that is to be cropped), B the box of U turned by delta and S the scale that
// makes B's longer side size - 1 pixels. Composes every cameraList camera's toPanorama and
// fromPanorama with it, so that planar mapping works in panorama pixels. The cameras must
// have their panorama rotations (ComputePanoramaRotations).
StitchGeometry InitStitchGeometry(std::vector<Camera>& cameraList, const HierarchyNode* transitionTree,
                                  const StitchGeometryParameters& parameters);
