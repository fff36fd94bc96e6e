// Golub-Reinsch singular value decomposition: Householder reduction to bidiagonal form,
// then implicitly shifted QR sweeps on the bidiagonal.
#include <cmath>
#include <cstring>
#include <vector>

#include "linalg/CMatrix.h"

namespace {

constexpr double kMachineEpsilon = 2.220446049250313e-16;
constexpr double kHouseholderTolerance = 5.293955921139723e-23;
constexpr int kMaxSweeps = 30;

struct Bidiagonal {
    CMatrix& u;
    std::vector<double>& q;
    std::vector<double>& e;
    int m;
    int n;
};

// Reduces u to bidiagonal form (diagonal q, super-diagonal e); returns the largest
// |q[i]| + |e[i]|, which scales the convergence test.
double Reduce(Bidiagonal& b) {
    CMatrix& u = b.u;
    int m = b.m, n = b.n;
    double g = 0, x = 0;
    for (int i = 0; i < n; ++i) {
        b.e[i] = g;
        int l = i + 1;
        double s = 0;
        for (int j = i; j < m; ++j)
            s += u(j, i) * u(j, i);
        if (s < kHouseholderTolerance) {
            g = 0;
        } else {
            double f = u(i, i);
            g = f < 0 ? std::sqrt(s) : -std::sqrt(s);
            double h = f * g - s;
            u(i, i) = f - g;
            for (int j = l; j < n; ++j) {
                double t = 0;
                for (int k = i; k < m; ++k)
                    t += u(k, i) * u(k, j);
                double factor = t / h;
                for (int k = i; k < m; ++k)
                    u(k, j) += factor * u(k, i);
            }
        }
        b.q[i] = g;
        s = 0;
        for (int j = l; j < n; ++j)
            s += u(i, j) * u(i, j);
        if (s < kHouseholderTolerance) {
            g = 0;
        } else {
            double f = u(i, i + 1);
            g = f < 0 ? std::sqrt(s) : -std::sqrt(s);
            double h = f * g - s;
            u(i, i + 1) = f - g;
            for (int j = l; j < n; ++j)
                b.e[j] = u(i, j) / h;
            for (int j = l; j < m; ++j) {
                double t = 0;
                for (int k = l; k < n; ++k)
                    t += u(j, k) * u(i, k);
                for (int k = l; k < n; ++k)
                    u(j, k) += t * b.e[k];
            }
        }
        double y = std::fabs(b.q[i]) + std::fabs(b.e[i]);
        if (y > x)
            x = y;
    }
    return x;
}

void AccumulateRight(const Bidiagonal& b, CMatrix& v) {
    const CMatrix& u = b.u;
    int n = b.n;
    double g = 0;
    int l = n;
    for (int i = n - 1; i >= 0; --i) {
        if (g != 0) {
            double h = u(i, i + 1) * g;
            for (int j = l; j < n; ++j)
                v(j, i) = u(i, j) / h;
            for (int j = l; j < n; ++j) {
                double s = 0;
                for (int k = l; k < n; ++k)
                    s += u(i, k) * v(k, j);
                for (int k = l; k < n; ++k)
                    v(k, j) += s * v(k, i);
            }
        }
        for (int j = l; j < n; ++j)
            v(i, j) = v(j, i) = 0;
        v(i, i) = 1;
        g = b.e[i];
        l = i;
    }
}

void AccumulateLeft(Bidiagonal& b) {
    CMatrix& u = b.u;
    int m = b.m, n = b.n;
    for (int i = n - 1; i >= 0; --i) {
        int l = i + 1;
        double g = b.q[i];
        for (int j = l; j < n; ++j)
            u(i, j) = 0;
        if (g != 0) {
            double h = u(i, i) * g;
            for (int j = l; j < n; ++j) {
                double s = 0;
                for (int k = l; k < m; ++k)
                    s += u(k, i) * u(k, j);
                double f = s / h;
                for (int k = i; k < m; ++k)
                    u(k, j) += f * u(k, i);
            }
            for (int j = i; j < m; ++j)
                u(j, i) /= g;
        } else {
            for (int j = i; j < m; ++j)
                u(j, i) = 0;
        }
        u(i, i) += 1;
    }
}

void Rotate(CMatrix& a, int rowCount, int c1, int c2, double c, double s) {
    double* p = a.columns[c1];
    double* r = a.columns[c2];
    for (int j = 0; j < rowCount; ++j) {
        double y = p[j], z = r[j];
        p[j] = y * c + z * s;
        r[j] = -y * s + z * c;
    }
}

// Diagonalises the bidiagonal form by QR sweeps; false when a value needs too many.
bool Diagonalise(Bidiagonal& b, double scale, CMatrix* v, bool withU) {
    std::vector<double>& q = b.q;
    std::vector<double>& e = b.e;
    int m = b.m, n = b.n;
    double eps = kMachineEpsilon * scale;
    for (int k = n - 1; k >= 0; --k) {
        int sweeps = 0;
        for (;;) {
            int l = k;
            bool cancel = false;
            for (; l >= 0; --l) {
                // e[0] is always 0; testing l == 0 as well keeps NaN input in bounds.
                if (l == 0 || std::fabs(e[l]) <= eps)
                    break;
                if (std::fabs(q[l - 1]) <= eps) {
                    cancel = true;
                    break;
                }
            }
            if (cancel) {
                double c = 0, s = 1;
                int l1 = l - 1;
                for (int i = l; i <= k; ++i) {
                    double f = s * e[i];
                    e[i] = c * e[i];
                    if (std::fabs(f) <= eps)
                        break;
                    double g = q[i];
                    double h = std::sqrt(f * f + g * g);
                    q[i] = h;
                    c = g / h;
                    s = -f / h;
                    if (withU)
                        Rotate(b.u, m, l1, i, c, s);
                }
            }
            double z = q[k];
            if (l == k) {
                if (z < 0) {
                    q[k] = -z;
                    if (v)
                        for (int j = 0; j < n; ++j)
                            (*v)(j, k) = -(*v)(j, k);
                }
                break;
            }
            if (++sweeps > kMaxSweeps)
                return false;
            double x = q[l], y = q[k - 1], g = e[k - 1], h = e[k];
            double f = ((y - z) * (y + z) + (g - h) * (g + h)) / (2 * h * y);
            g = std::sqrt(f * f + 1);
            f = ((x - z) * (x + z) + h * (y / (f < 0 ? f - g : f + g) - h)) / x;
            double c = 1, s = 1;
            for (int i = l + 1; i <= k; ++i) {
                g = e[i];
                y = q[i];
                h = s * g;
                g = c * g;
                z = std::sqrt(f * f + h * h);
                e[i - 1] = z;
                // A zero length leaves nothing to rotate; keep the last rotation instead of 0/0.
                if (z != 0) {
                    c = f / z;
                    s = h / z;
                }
                f = x * c + g * s;
                g = -x * s + g * c;
                h = y * s;
                y = y * c;
                if (v)
                    Rotate(*v, n, i - 1, i, c, s);
                z = std::sqrt(f * f + h * h);
                q[i - 1] = z;
                if (z != 0) {
                    c = f / z;
                    s = h / z;
                }
                f = c * g + s * y;
                x = -s * g + c * y;
                if (withU)
                    Rotate(b.u, m, i - 1, i, c, s);
            }
            e[l] = 0;
            e[k] = f;
            q[k] = x;
        }
    }
    return true;
}

// Selection sort into descending order; among equal values the first stays first. The
// columns of U and V move with their values.
void SortDescending(CVector& s, CMatrix* U, CMatrix* V) {
    int n = s.count;
    auto swapColumns = [](CMatrix* M, int a, int b) {
        if (!M)
            return;
        for (int i = 0; i < M->rows; ++i) {
            double t = M->columns[a][i];
            M->columns[a][i] = M->columns[b][i];
            M->columns[b][i] = t;
        }
    };
    for (int k = 0; k < n; ++k) {
        int best = k;
        for (int i = k + 1; i < n; ++i)
            if (s[i] > s[best])
                best = i;
        if (best != k) {
            double t = s[k];
            s[k] = s[best];
            s[best] = t;
            swapColumns(U, k, best);
            swapColumns(V, k, best);
        }
    }
}

}  // namespace

// U receives max(rows, cols) x cols: a matrix with fewer rows than columns is decomposed as
// if padded with zero rows, which leaves V and the singular values intact.
bool Svd(const CMatrix& A, CVector& s, CMatrix* U, CMatrix* V) {
    int n = A.cols;
    int m = A.rows > n ? A.rows : n;
    s.Size(n);
    if (n == 0)
        return true;
    CMatrix work(m, n);
    std::memset(work.data, 0, sizeof(double) * static_cast<size_t>(work.count));
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < A.rows; ++i)
            work(i, j) = A(i, j);
    std::vector<double> q(static_cast<size_t>(n)), e(static_cast<size_t>(n));
    Bidiagonal b{work, q, e, m, n};
    double scale = Reduce(b);
    if (V) {
        V->Resize(n, n);
        AccumulateRight(b, *V);
    }
    if (U)
        AccumulateLeft(b);
    bool converged = Diagonalise(b, scale, V, U != nullptr);
    for (int i = 0; i < n; ++i)
        s[i] = q[i];
    if (U)
        *U = work;
    return converged;
}

void SvdSorted(const CMatrix& A, CVector& s, CMatrix& U, CMatrix& V) {
    CMatrix thin;
    Svd(A, s, &thin, &V);
    SortDescending(s, &thin, &V);
    int m = A.rows;
    U.Resize(m, m);
    std::memset(U.data, 0, sizeof(double) * static_cast<size_t>(U.count));
    int keep = m < A.cols ? m : A.cols;
    for (int j = 0; j < keep; ++j)
        for (int i = 0; i < m; ++i)
            U(i, j) = thin(i, j);
}

void SingularValues(const CMatrix& A, CVector& s, CMatrix& V) {
    Svd(A, s, nullptr, &V);
    SortDescending(s, nullptr, &V);
}

CVector NullVector(const CMatrix& A) {
    CVector s;
    CMatrix V;
    SingularValues(A, s, V);
    CVector x(A.cols);
    if (s.count == 0)
        return x;
    int smallest = 0;
    for (int i = 1; i < s.count; ++i)
        if (s[i] < s[smallest])
            smallest = i;
    for (int i = 0; i < A.cols; ++i)
        x[i] = V(i, smallest);
    return x;
}
