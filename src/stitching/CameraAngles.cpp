#include "stitching/CameraAngles.h"

#include <algorithm>
#include <cmath>
#include <numbers>

CameraAngles AnglesOf(const CMatrix& R) {
    constexpr double kDegree = 180 / std::numbers::pi;
    CameraAngles angles;
    const double ax = R(0, 2), ay = R(1, 2), az = R(2, 2);
    angles.yaw = std::atan2(ax, az) * kDegree;
    angles.pitch = -std::asin(std::clamp(ay, -1.0, 1.0)) * kDegree;
    // The camera's "down" axis against the one a level camera looking the same way would have.
    const double ux = R(0, 1), uy = R(1, 1), uz = R(2, 1);
    const double horizontal = std::hypot(ax, az);
    const double levelX = -ay * ax / horizontal, levelY = horizontal, levelZ = -ay * az / horizontal;
    const double side[3] = {az / horizontal, 0, -ax / horizontal};  // level camera's x axis
    angles.roll =
        std::atan2(-(ux * side[0] + uy * side[1] + uz * side[2]), ux * levelX + uy * levelY + uz * levelZ) * kDegree;
    return angles;
}
