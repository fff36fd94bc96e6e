#pragma once

#include "linalg/CMatrix.h"
#include "linalg/PointD.h"
#include "stitching/Camera.h"

// The surface the panorama is drawn on; the values are those of the projectionType parameter.
enum class ProjectionType { Planar = 0, Cylindrical = 1, Spherical = 2 };

// Source pixel (x, y) of a camera in projection coordinates: planar - toPanorama applied to
// the pixel; cylindrical - (theta, h), longitude and height on the unit cylinder; spherical -
// (lambda, phi), longitude and latitude. Longitudes include the camera's lonOffset.
PointD ProjectionCoordinates(ProjectionType type, const Camera& camera, double x, double y);

// The source pixel of a camera that sees the direction of the cylindrical or spherical
// projection coordinates (a, b).
PointD PixelFromProjection(ProjectionType type, const Camera& camera, double a, double b);

// Source pixel to panorama pixel: planar through toPanorama alone (which then already includes
// the panorama transform), otherwise the projection coordinates through panoramaTransform.
PointD ForwardMap(ProjectionType type, const Camera& camera, const CMatrix& panoramaTransform, double x, double y);
// Panorama pixel to source pixel: planar through fromPanorama, otherwise through
// panoramaTransformInverse to projection coordinates and on into the camera.
PointD InverseMap(ProjectionType type, const Camera& camera, const CMatrix& panoramaTransformInverse, double u,
                  double v);

// (x, y) through a 3 x 3 matrix with the homogeneous division.
inline PointD MapHomogeneous(const CMatrix& M, double x, double y) {
    double w = M(2, 0) * x + M(2, 1) * y + M(2, 2);
    return {(M(0, 0) * x + M(0, 1) * y + M(0, 2)) / w, (M(1, 0) * x + M(1, 1) * y + M(1, 2)) / w};
}
