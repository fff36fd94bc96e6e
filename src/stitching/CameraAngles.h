#pragma once

#include "linalg/CMatrix.h"

// Where a camera looks (its optical axis) and how it is turned about it, in the panorama frame,
// degrees: yaw to the right, pitch up, roll clockwise as seen from behind the camera.
struct CameraAngles {
    double yaw = 0, pitch = 0, roll = 0;
};

// From the camera's full rotation into the panorama frame (camera ray -> panorama ray).
CameraAngles AnglesOf(const CMatrix& rotation);
