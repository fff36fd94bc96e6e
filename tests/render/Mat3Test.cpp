// The renderer's own 3 x 3 arithmetic: inverse, nearest rotation, rotation angle.
#include <gtest/gtest.h>

#include "Turn.h"
#include "render/Mat3.h"
#include "render/ViewRenderer.h"

using render::Mat3;

namespace {

void ExpectNear(const Mat3& a, const Mat3& b, double tolerance) {
    for (int k = 0; k < 9; ++k)
        EXPECT_NEAR(a[k], b[k], tolerance) << "element " << k;
}

}  // namespace

TEST(Mat3, InverseAndSingularity) {
    Mat3 m = {2, 1, 0, 0, 3, 1, 1, 0, 4}, inverse;
    ASSERT_TRUE(render::Invert(m, &inverse));
    ExpectNear(render::Multiply(m, inverse), {1, 0, 0, 0, 1, 0, 0, 0, 1}, 1e-15);
    // Scale does not matter, rank does.
    Mat3 tiny = m;
    for (double& v : tiny)
        v *= 1e-9;
    EXPECT_TRUE(render::Invert(tiny, &inverse));
    EXPECT_FALSE(render::Invert({1, 2, 3, 2, 4, 6, 0, 1, 1}, &inverse));
    EXPECT_FALSE(render::Invert(Mat3{}, &inverse));
}

TEST(Mat3, NearestRotationAndAngles) {
    Mat3 a = Turn(40, -10, 5), b = Turn(42, -10, 5);
    EXPECT_NEAR(render::AngleBetweenRotations(a, b), 2, 1e-9);
    EXPECT_NEAR(render::AngleBetweenRotations(a, a), 0, 1e-12);
    EXPECT_NEAR(render::AngleBetweenRotations(Turn(0, 0, 0), Turn(180, 0, 0)), 180, 1e-9);
    // A scaled and slightly sheared rotation comes back to the rotation.
    Mat3 noisy = a;
    for (int k = 0; k < 9; ++k)
        noisy[k] = 3 * a[k] + (k == 1 ? 1e-3 : 0);
    Mat3 r;
    ASSERT_TRUE(render::NearestRotation(noisy, &r));
    EXPECT_LT(render::AngleBetweenRotations(r, a), 0.01);
    ExpectNear(render::Multiply(r, render::Transposed(r)), {1, 0, 0, 0, 1, 0, 0, 0, 1}, 1e-13);
    EXPECT_NEAR(render::Determinant(r), 1, 1e-13);
    // The sum of two rotations 2 degrees apart gives the one halfway.
    Mat3 sum;
    for (int k = 0; k < 9; ++k)
        sum[k] = a[k] + b[k];
    ASSERT_TRUE(render::NearestRotation(sum, &r));
    EXPECT_NEAR(render::AngleBetweenRotations(r, Turn(41, -10, 5)), 0, 1e-9);
    // A reflection or a singular matrix has no nearest rotation.
    EXPECT_FALSE(render::NearestRotation({-1, 0, 0, 0, 1, 0, 0, 0, 1}, &r));
    EXPECT_FALSE(render::NearestRotation({1, 0, 0, 0, 1, 0, 0, 0, 0}, &r));
}
