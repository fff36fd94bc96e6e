#pragma once

#include <vector>

#include "linalg/PointD.h"
#include "stitching/Camera.h"

// Turns all cameras of both lists together so that the panorama's common "up" direction
// becomes the world's y axis. Photographers pan about a vertical axis: a row keeps one pitch,
// so its optical axes' tips lie on a plane perpendicular to the vertical, whatever the roll of
// each photograph; level cameras (several rows) have horizontal axes perpendicular to it. The
// vertical is that plane's normal where the optical axes tell one, else the direction most
// nearly perpendicular to all horizontal axes. Only the rotation matrices change, never
// the angles. Does nothing when the layout (one position per cameraList entry) spreads less
// than a quarter of the reference image's width sideways, since the axis cannot be told then.
// Throws when layoutPositions has fewer entries than cameraList. Returns the angle of the turn
// it applied, radians (0: none), which is how far the fit's horizon was from level.
double Autostraighten(std::vector<Camera>& cameraList, std::vector<Camera>& closingCameraList,
                      const std::vector<PointD>& layoutPositions);

// The turn Autostraighten() applies to every camera (from the left), into straighten; false
// when it applies none. The lists are only read.
bool StraighteningRotation(const std::vector<Camera>& cameraList, const std::vector<Camera>& closingCameraList,
                           const std::vector<PointD>& layoutPositions, CMatrix& straighten);
