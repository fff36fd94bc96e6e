#include "linalg/NearestRotation.h"

#include <cmath>

namespace {

constexpr int kMaxJacobiSweeps = 30;

// The eigenvector of the largest eigenvalue of a symmetric 4 x 4 matrix (destroyed).
void LargestEigenvector(double a[4][4], double v[4]) {
    double vectors[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    for (int sweep = 0; sweep < kMaxJacobiSweeps; ++sweep) {
        double off = 0, scale = 0;
        for (int p = 0; p < 4; ++p)
            for (int q = 0; q < 4; ++q)
                (p == q ? scale : off) += a[p][q] * a[p][q];
        if (off <= 1e-30 * scale)
            break;
        for (int p = 0; p < 3; ++p)
            for (int q = p + 1; q < 4; ++q) {
                if (a[p][q] == 0)
                    continue;
                // The rotation in the (p, q) plane that zeroes a[p][q].
                const double theta = (a[q][q] - a[p][p]) / (2 * a[p][q]);
                const double t = (theta >= 0 ? 1 : -1) / (std::fabs(theta) + std::sqrt(theta * theta + 1));
                const double c = 1 / std::sqrt(t * t + 1), s = t * c;
                for (int k = 0; k < 4; ++k) {
                    const double kp = a[k][p], kq = a[k][q];
                    a[k][p] = c * kp - s * kq;
                    a[k][q] = s * kp + c * kq;
                }
                for (int k = 0; k < 4; ++k) {
                    const double pk = a[p][k], qk = a[q][k];
                    a[p][k] = c * pk - s * qk;
                    a[q][k] = s * pk + c * qk;
                }
                for (int k = 0; k < 4; ++k) {
                    const double kp = vectors[k][p], kq = vectors[k][q];
                    vectors[k][p] = c * kp - s * kq;
                    vectors[k][q] = s * kp + c * kq;
                }
            }
    }
    int largest = 0;
    for (int k = 1; k < 4; ++k)
        if (a[k][k] > a[largest][largest])
            largest = k;
    for (int k = 0; k < 4; ++k)
        v[k] = vectors[k][largest];
}

}  // namespace

void NearestRotation(const double m[9], double r[9]) {
    // trace(R(q)^T m) = q^T K q for the unit quaternion q = (w, x, y, z) of R, with S = m^T.
    auto S = [&](int a, int b) { return m[3 * b + a]; };
    const double xx = S(0, 0), xy = S(0, 1), xz = S(0, 2), yx = S(1, 0), yy = S(1, 1), yz = S(1, 2), zx = S(2, 0),
                 zy = S(2, 1), zz = S(2, 2);
    double K[4][4] = {{xx + yy + zz, yz - zy, zx - xz, xy - yx},
                      {yz - zy, xx - yy - zz, xy + yx, zx + xz},
                      {zx - xz, xy + yx, -xx + yy - zz, yz + zy},
                      {xy - yx, zx + xz, yz + zy, -xx - yy + zz}};
    double q[4];
    LargestEigenvector(K, q);
    const double norm = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    const double w = q[0] / norm, x = q[1] / norm, y = q[2] / norm, z = q[3] / norm;
    r[0] = 1 - 2 * (y * y + z * z);
    r[1] = 2 * (x * y - w * z);
    r[2] = 2 * (x * z + w * y);
    r[3] = 2 * (x * y + w * z);
    r[4] = 1 - 2 * (x * x + z * z);
    r[5] = 2 * (y * z - w * x);
    r[6] = 2 * (x * z - w * y);
    r[7] = 2 * (y * z + w * x);
    r[8] = 1 - 2 * (x * x + y * y);
}
