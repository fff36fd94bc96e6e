#pragma once

// Small 3 x 3 matrix and vector arithmetic for the renderer's cameras and panoramas. Kept
// apart from the engine's linear algebra so that the ground truth never shares its code.
#include <array>

namespace render {

using Mat3 = std::array<double, 9>;  // row-major
struct Vec3 {
    double x, y, z;
};

Mat3 Multiply(const Mat3& a, const Mat3& b);
Mat3 Transposed(const Mat3& a);
Vec3 Apply(const Mat3& m, const Vec3& v);
double Determinant(const Mat3& m);
// False (inverse untouched) when the matrix is singular relative to its own scale.
bool Invert(const Mat3& m, Mat3* inverse);

// The rotation nearest to m in the Frobenius norm (the orthogonal factor of its polar
// decomposition). False when m is singular or a reflection, which no rotation approximates.
bool NearestRotation(const Mat3& m, Mat3* rotation);
// The angle in degrees of the rotation that turns a into b (both rotations).
double AngleBetweenRotations(const Mat3& a, const Mat3& b);

}  // namespace render
