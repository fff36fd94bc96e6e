#pragma once

#include <vector>

#include <limits>

#include "linalg/CMatrix.h"
#include "stitching/LensModel.h"

// The pinhole camera of one source image in the stitch. All cameras turn about one common
// centre; `rotation` maps camera rays to world rays (x right, y down, z along the reference
// camera's axis). Matching fills the image index; camera fitting adds the rest.
struct Camera {
    Camera() { Initialise(0, 0); }

    // Every field but `image` to its starting value for an image of the given size.
    void Initialise(double width, double height);
    // rotation := Rz(gamma) Ry(beta) Rx(alpha), and its transpose.
    void RotationFromAngles();
    // alpha, beta, gamma of a rotation matrix (gamma = 0 when looking straight up or down).
    void AnglesFromRotation(const CMatrix& R);
    // rotation := R with its transpose; the angles stay as they are.
    void SetRotation(const CMatrix& R);
    // K and K^-1 from the focal length and the principal point.
    void UpdateIntrinsics();
    // panoRotation := R with its cached first and third rows.
    void SetPanoRotation(const CMatrix& R);

    int image = -1;
    double alpha = 0;
    double beta = 0;
    double gamma = 0;
    CMatrix rotation;
    CMatrix rotationTransposed;
    double principalX = 0;
    double principalY = 0;
    double aspect = 1;
    double focalLength = 1;
    CMatrix K;
    CMatrix KInverse;
    LensModel lens;
    // Photometric correction per colour channel: value' = gain * value + offset.
    double offsets[3] = {0, 0, 0};
    double gains[3] = {1, 1, 1};
    double vignettingCentreX = 0;
    double vignettingCentreY = 0;
    double vignetting[3] = {0, 0, 0};  // of r^2, r^4, r^6
    // rotation with the camera's own longitude removed: Ry(-lonOffset) rotation.
    CMatrix panoRotation;
    double panoRow0[3] = {1, 0, 0};
    double panoRow2[3] = {0, 0, 1};
    double lonOffset = 0;
    // Planar projection: source pixel to panorama pixel and back.
    CMatrix toPanorama;
    CMatrix fromPanorama;
    // Set (the largest double) until the first rotation estimate is stored, then 0.
    double estimated = std::numeric_limits<double>::max();
};

// The camera of photograph image in cameras; null when the photograph has none.
const Camera* FindCameraOf(const std::vector<Camera>& cameras, int image);
