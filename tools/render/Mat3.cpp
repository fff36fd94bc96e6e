#include "render/Mat3.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace render {

Mat3 Multiply(const Mat3& a, const Mat3& b) {
    Mat3 m{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k)
                m[i * 3 + j] += a[i * 3 + k] * b[k * 3 + j];
    return m;
}

Mat3 Transposed(const Mat3& a) { return {a[0], a[3], a[6], a[1], a[4], a[7], a[2], a[5], a[8]}; }

Vec3 Apply(const Mat3& m, const Vec3& v) {
    return {m[0] * v.x + m[1] * v.y + m[2] * v.z, m[3] * v.x + m[4] * v.y + m[5] * v.z,
            m[6] * v.x + m[7] * v.y + m[8] * v.z};
}

double Determinant(const Mat3& m) {
    return m[0] * (m[4] * m[8] - m[5] * m[7]) - m[1] * (m[3] * m[8] - m[5] * m[6]) + m[2] * (m[3] * m[7] - m[4] * m[6]);
}

bool Invert(const Mat3& m, Mat3* inverse) {
    double det = Determinant(m);
    double scale = 0;
    for (double v : m)
        scale = std::max(scale, std::fabs(v));
    // Relative test: a well-conditioned matrix of any scale passes, a rank-deficient one fails.
    if (!std::isfinite(det) || scale == 0 || std::fabs(det) <= 1e-12 * scale * scale * scale)
        return false;
    Mat3 adj = {m[4] * m[8] - m[5] * m[7], m[2] * m[7] - m[1] * m[8], m[1] * m[5] - m[2] * m[4],
                m[5] * m[6] - m[3] * m[8], m[0] * m[8] - m[2] * m[6], m[2] * m[3] - m[0] * m[5],
                m[3] * m[7] - m[4] * m[6], m[1] * m[6] - m[0] * m[7], m[0] * m[4] - m[1] * m[3]};
    for (double& v : adj)
        v /= det;
    *inverse = adj;
    return true;
}

bool NearestRotation(const Mat3& m, Mat3* rotation) {
    // Newton's iteration X <- (X + X^-T) / 2 converges quadratically to the orthogonal polar
    // factor of any non-singular matrix; with a positive determinant that factor is the
    // nearest rotation.
    if (!(Determinant(m) > 0))
        return false;
    Mat3 x = m;
    for (int iteration = 0; iteration < 100; ++iteration) {
        Mat3 inverse;
        if (!Invert(x, &inverse))
            return false;
        Mat3 inverseT = Transposed(inverse);
        double change = 0;
        for (int k = 0; k < 9; ++k) {
            double next = 0.5 * (x[k] + inverseT[k]);
            change = std::max(change, std::fabs(next - x[k]));
            x[k] = next;
        }
        if (change < 1e-14)
            break;
    }
    *rotation = x;
    return true;
}

double AngleBetweenRotations(const Mat3& a, const Mat3& b) {
    // From both the sine and the cosine, so that small angles keep their precision.
    Mat3 r = Multiply(Transposed(a), b);
    double s =
        0.5 * std::sqrt((r[7] - r[5]) * (r[7] - r[5]) + (r[2] - r[6]) * (r[2] - r[6]) + (r[3] - r[1]) * (r[3] - r[1]));
    double c = 0.5 * (r[0] + r[4] + r[8] - 1);
    return std::atan2(s, c) * 180 / std::numbers::pi;
}

}  // namespace render
