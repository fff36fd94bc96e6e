#pragma once

#include <vector>

#include "linalg/PointD.h"
#include "stitching/Camera.h"
#include "stitching/Projection.h"

// Each camera's longitude offset and panorama rotation, and for planar projection its
// homographies to and from the panorama plane (before any panorama transform).
// cameraList: longitudes in (-pi, pi], moved by one turn towards the side where the camera's
// layout position lies when it lies more than the reference image's width away from the
// reference. closingCameraList: longitudes in [0, 2 pi). The planar panorama is the image
// plane of a camera with the reference's intrinsics, turned to the middle longitude of all
// cameras and tilted by verticalCameraRotation (radians).
void ComputePanoramaRotations(std::vector<Camera>& cameraList, std::vector<Camera>& closingCameraList,
                              const std::vector<PointD>& layoutPositions, ProjectionType type,
                              double verticalCameraRotation);

// One cameraList entry's longitude and panorama rotation as ComputePanoramaRotations() sets
// them: layoutX is its layout position's x, referenceLayoutX and referenceWidth those of the
// list's first camera.
void SetPanoramaLongitude(Camera& camera, double layoutX, double referenceLayoutX, double referenceWidth);
