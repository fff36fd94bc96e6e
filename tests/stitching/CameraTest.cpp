#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

#include "StitchTestSupport.h"
#include "matching/PairRotationModel.h"
#include "stitching/Camera.h"
#include "stitching/Rotations.h"
#include "support/SyntheticRig.h"

using rig::Radians;

namespace {

CMatrix Identity() {
    CMatrix I;
    I.Identity(3);
    return I;
}

}  // namespace

TEST(Camera, InitialiseSetsEveryFieldAndKeepsTheImage) {
    Camera camera;
    camera.image = 7;
    camera.alpha = 1;
    camera.focalLength = 900;
    camera.gains[1] = 3;
    camera.lonOffset = 2;
    camera.toPanorama = Rz(1);
    camera.estimated = 0;
    camera.Initialise(640, 480);
    EXPECT_EQ(camera.image, 7);
    EXPECT_EQ(camera.alpha, 0);
    EXPECT_EQ(camera.principalX, 320);
    EXPECT_EQ(camera.principalY, 240);
    EXPECT_EQ(camera.aspect, 1);
    EXPECT_EQ(camera.focalLength, 1);
    EXPECT_EQ(camera.lens.width, 640);
    EXPECT_EQ(camera.lens.centreY, 240);
    EXPECT_EQ(camera.gains[1], 1);
    EXPECT_EQ(camera.offsets[2], 0);
    EXPECT_EQ(camera.vignettingCentreX, 320);
    EXPECT_EQ(camera.vignetting[0], 0);
    EXPECT_EQ(camera.lonOffset, 0);
    EXPECT_EQ(camera.estimated, std::numeric_limits<double>::max());
    ExpectMatrixNear(camera.rotation, Identity(), 0);
    ExpectMatrixNear(camera.panoRotation, Identity(), 0);
    ExpectMatrixNear(camera.toPanorama, Identity(), 0);
    ExpectMatrixNear(camera.fromPanorama, Identity(), 0);

    camera.focalLength = 1200;
    camera.UpdateIntrinsics();
    EXPECT_EQ(camera.K(0, 0), 1200);
    EXPECT_EQ(camera.K(1, 2), 240);
    ExpectMatrixNear(camera.K * camera.KInverse, Identity(), 1e-12);

    // Zero distortion is the only lens the stitch supports; its inverse is the identity.
    EXPECT_NO_THROW(camera.lens.RecomputeInverse());
    EXPECT_TRUE(camera.lens.inverseIsIdentity);
    camera.lens.radial[0] = 1e-7;
    EXPECT_THROW(camera.lens.RecomputeInverse(), const char*);
}

TEST(Camera, AnglesAndMatricesFollowThePairConvention) {
    Camera camera;
    camera.alpha = 0.3;
    camera.beta = -0.7;
    camera.gamma = 1.1;
    camera.RotationFromAngles();
    // The same convention as the pair fit: R = Rz(kappa) Ry(phi) Rx(omega).
    ExpectMatrixNear(camera.rotation, RotationMatrix(0.3, -0.7, 1.1), 1e-15);
    ExpectMatrixNear(camera.rotationTransposed, camera.rotation.Transpose(), 0);

    for (double a : {-2.5, -0.4, 0.0, 1.2, 3.0})
        for (double b : {-1.4, -0.2, 0.0, 0.9, 1.5})
            for (double g : {-3.0, -0.6, 0.0, 0.5, 2.2}) {
                Camera c;
                c.AnglesFromRotation(Rz(g) * Ry(b) * Rx(a));
                EXPECT_NEAR(c.alpha, a, 1e-9);
                EXPECT_NEAR(c.beta, b, 1e-9);
                EXPECT_NEAR(c.gamma, g, 1e-9);
            }
}

TEST(Camera, LookingStraightUpOrDownSetsGammaToZero) {
    // R20 = -1: beta = 90 degrees, and only alpha - gamma is defined.
    CMatrix up = Rz(0.4) * Ry(std::numbers::pi / 2) * Rx(1.0);
    ASSERT_NEAR(up(2, 0), -1, 1e-15);
    Camera camera;
    camera.AnglesFromRotation(up);
    EXPECT_EQ(camera.gamma, 0);
    EXPECT_NEAR(camera.beta, std::numbers::pi / 2, 1e-7);
    EXPECT_DOUBLE_EQ(camera.alpha, std::atan2(up(0, 1), up(0, 2)));
    camera.RotationFromAngles();
    ExpectMatrixNear(camera.rotation, up, 1e-7);

    // R20 = +1 (looking the other way): the angles still give the matrix back.
    CMatrix down = Rz(0.4) * Ry(-std::numbers::pi / 2) * Rx(1.0);
    camera.AnglesFromRotation(down);
    EXPECT_EQ(camera.gamma, 0);
    camera.RotationFromAngles();
    ExpectMatrixNear(camera.rotation, down, 1e-7);
}

TEST(Camera, NearestRotation) {
    CMatrix R = Rz(0.3) * Ry(-0.2) * Rx(0.8);
    // Any positive scale, as a homography leaves it.
    ExpectMatrixNear(NearestRotation(R * 3.5), R, 1e-12);
    // A slightly sheared matrix gives a proper rotation close to it.
    CMatrix A = R;
    A(0, 1) += 0.01;
    CMatrix N = NearestRotation(A);
    ExpectMatrixNear(N * N.Transpose(), Identity(), 1e-12);
    EXPECT_NEAR(N.Determinant(), 1, 1e-12);
    EXPECT_LT(rig::AngleBetween(N, R), 0.5);
    // A reflection never comes back: the determinant is made +1.
    CMatrix mirror = R;
    for (int i = 0; i < 3; ++i)
        mirror(i, 2) = -mirror(i, 2);
    EXPECT_NEAR(NearestRotation(mirror).Determinant(), 1, 1e-12);
}
