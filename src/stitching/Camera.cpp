#include "stitching/Camera.h"

#include <cmath>

#include "stitching/Rotations.h"

namespace {

// Beyond this |R20| the camera looks straight up or down and gamma cannot be told from alpha.
constexpr double kGimbalLimit = 0.9999999999;

}  // namespace

void Camera::Initialise(double width, double height) {
    alpha = beta = gamma = 0;
    rotation.Identity(3);
    rotationTransposed.Identity(3);
    principalX = width / 2;
    principalY = height / 2;
    aspect = 1;
    focalLength = 1;
    UpdateIntrinsics();
    lens.Initialise(width, height);
    for (int c = 0; c < 3; ++c) {
        offsets[c] = 0;
        gains[c] = 1;
        vignetting[c] = 0;
    }
    vignettingCentreX = width / 2;
    vignettingCentreY = height / 2;
    CMatrix identity;
    identity.Identity(3);
    SetPanoRotation(identity);
    lonOffset = 0;
    toPanorama = identity;
    fromPanorama = identity;
    estimated = std::numeric_limits<double>::max();
}

void Camera::RotationFromAngles() { SetRotation(Rz(gamma) * Ry(beta) * Rx(alpha)); }

void Camera::AnglesFromRotation(const CMatrix& R) {
    double r20 = R(2, 0);
    beta = -std::asin(std::fmax(-1.0, std::fmin(1.0, r20)));
    if (std::fabs(r20) > kGimbalLimit) {
        // Only alpha - gamma (looking up) or alpha + gamma (looking down) is defined; gamma
        // is set to 0. Looking down, row 0 is (0, -sin alpha, -cos alpha), hence the signs.
        alpha = r20 < 0 ? std::atan2(R(0, 1), R(0, 2)) : std::atan2(-R(0, 1), -R(0, 2));
        gamma = 0;
        return;
    }
    double c = std::cos(beta);
    alpha = std::atan2(R(2, 1) / c, R(2, 2) / c);
    gamma = std::atan2(R(1, 0) / c, R(0, 0) / c);
}

void Camera::SetRotation(const CMatrix& R) {
    rotation = R;
    rotationTransposed = R.Transpose();
}

void Camera::UpdateIntrinsics() {
    const double f = focalLength;
    const double k[9] = {f, 0, principalX, 0, f, principalY, 0, 0, 1};
    const double inverse[9] = {1 / f, 0, -principalX / f, 0, 1 / f, -principalY / f, 0, 0, 1};
    K = CMatrix(3, 3, k);
    KInverse = CMatrix(3, 3, inverse);
}

void Camera::SetPanoRotation(const CMatrix& R) {
    panoRotation = R;
    for (int k = 0; k < 3; ++k) {
        panoRow0[k] = R(0, k);
        panoRow2[k] = R(2, k);
    }
}

const Camera* FindCameraOf(const std::vector<Camera>& cameras, int image) {
    for (const Camera& camera : cameras)
        if (camera.image == image)
            return &camera;
    return nullptr;
}
