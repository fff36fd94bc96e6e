#include "linalg/Cholesky.h"

#include <cmath>
#include <cstddef>
#include <vector>

namespace {

// A pivot of the equilibrated matrix this small means it is singular to working precision.
constexpr double kRelativePivot = 1e-14;

// a[0..n) . b[0..n) in four independent sums: the factor's time is these products, and one
// chain of dependent additions would leave the processor's units idle.
double Dot(const double* a, const double* b, int n) {
    double s0 = 0, s1 = 0, s2 = 0, s3 = 0;
    int k = 0;
    for (; k + 4 <= n; k += 4) {
        s0 += a[k] * b[k];
        s1 += a[k + 1] * b[k + 1];
        s2 += a[k + 2] * b[k + 2];
        s3 += a[k + 3] * b[k + 3];
    }
    for (; k < n; ++k)
        s0 += a[k] * b[k];
    return (s0 + s1) + (s2 + s3);
}

}  // namespace

bool SolveCholesky(const CMatrix& N, const CVector& b, CVector& x) {
    const int n = N.rows;
    if (N.cols != n || b.count != n)
        return false;
    // The lower factor row by row, packed: row i holds L(i, 0..i). Reading N's lower triangle
    // through its columns keeps the inner products on contiguous memory.
    // Equilibrated (unit diagonal) first: the columns of a fit's normal equations differ in
    // scale by many orders (a focal length in pixels beside angles in radians), and the factor
    // of the scaled matrix loses far fewer digits.
    std::vector<double> scale(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        const double d = N.columns[i][i];
        if (!(d > 0) || !std::isfinite(d))
            return false;
        scale[i] = 1 / std::sqrt(d);
    }
    std::vector<double> L(static_cast<size_t>(n) * (n + 1) / 2);
    auto row = [&](int i) { return L.data() + static_cast<size_t>(i) * (i + 1) / 2; };
    for (int i = 0; i < n; ++i) {
        double* li = row(i);
        for (int j = 0; j <= i; ++j) {
            const double* lj = row(j);
            const double sum = N.columns[j][i] * scale[i] * scale[j] - Dot(li, lj, j);
            if (j < i) {
                li[j] = sum / lj[j];
                continue;
            }
            if (!(sum > kRelativePivot) || !std::isfinite(sum))
                return false;
            li[i] = std::sqrt(sum);
        }
    }
    std::vector<double> y(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        const double* li = row(i);
        y[i] = (b[i] * scale[i] - Dot(li, y.data(), i)) / li[i];
    }
    for (int i = n - 1; i >= 0; --i) {
        double sum = y[i];
        for (int k = i + 1; k < n; ++k)
            sum -= row(k)[i] * y[k];
        y[i] = sum / row(i)[i];
    }
    x = CVector(n);
    for (int i = 0; i < n; ++i)
        x[i] = y[i] * scale[i];
    return true;
}
