// Householder triangularisation with column pivoting (Businger and Golub).
#include <cmath>
#include <vector>

#include "linalg/CMatrix.h"

namespace {

// A remaining column whose squared norm has fallen this far below the largest original
// column's is linearly dependent on the columns already taken; rounding keeps it from
// reaching exactly zero.
constexpr double kRankTolerance = 1e-24;

}  // namespace

bool SolveLeastSquares(const CMatrix& A, const CVector& b, CVector& x) {
    int m = A.rows, n = A.cols;
    if (n == 0 || m < n || b.count != m)
        return false;
    CMatrix a(A);
    std::vector<double> rhs(b.data, b.data + m);
    std::vector<double> norms(static_cast<size_t>(n));
    std::vector<int> permutation(static_cast<size_t>(n));
    double largestNorm = 0;
    for (int j = 0; j < n; ++j) {
        double s = 0;
        for (int i = 0; i < m; ++i)
            s += a(i, j) * a(i, j);
        norms[j] = s;
        permutation[j] = j;
        largestNorm = std::fmax(largestNorm, s);
    }
    std::vector<double> diagonal(static_cast<size_t>(n));
    for (int k = 0; k < n; ++k) {
        int best = k;
        for (int j = k + 1; j < n; ++j)
            if (norms[j] > norms[best])
                best = j;
        if (best != k) {
            for (int i = 0; i < m; ++i) {
                double t = a(i, k);
                a(i, k) = a(i, best);
                a(i, best) = t;
            }
            std::swap(norms[k], norms[best]);
            std::swap(permutation[k], permutation[best]);
        }
        double s = 0;
        for (int i = k; i < m; ++i)
            s += a(i, k) * a(i, k);
        if (!(s > kRankTolerance * largestNorm))
            return false;
        double akk = a(k, k);
        double alpha = akk >= 0 ? -std::sqrt(s) : std::sqrt(s);
        // Reflection H = I - v v^T / beta with v = column k below the diagonal, v_k = akk - alpha.
        double beta = s - akk * alpha;
        a(k, k) = akk - alpha;
        for (int j = k + 1; j < n; ++j) {
            double t = 0;
            for (int i = k; i < m; ++i)
                t += a(i, k) * a(i, j);
            t /= beta;
            for (int i = k; i < m; ++i)
                a(i, j) -= t * a(i, k);
            norms[j] -= a(k, j) * a(k, j);
        }
        double t = 0;
        for (int i = k; i < m; ++i)
            t += a(i, k) * rhs[i];
        t /= beta;
        for (int i = k; i < m; ++i)
            rhs[i] -= t * a(i, k);
        diagonal[k] = alpha;
    }
    std::vector<double> solution(static_cast<size_t>(n));
    for (int k = n - 1; k >= 0; --k) {
        double sum = rhs[k];
        for (int j = k + 1; j < n; ++j)
            sum -= a(k, j) * solution[j];
        solution[k] = sum / diagonal[k];
    }
    x.Size(n);
    for (int k = 0; k < n; ++k)
        x[permutation[k]] = solution[k];
    return true;
}
