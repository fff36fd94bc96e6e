// Gauss-Jordan elimination with full pivoting.
#include <cmath>
#include <vector>

#include "linalg/CMatrix.h"

namespace {

constexpr double kSmallestPivot = 1e-7;

void SwapRows(CMatrix& a, int r1, int r2) {
    for (int j = 0; j < a.cols; ++j) {
        double t = a.columns[j][r1];
        a.columns[j][r1] = a.columns[j][r2];
        a.columns[j][r2] = t;
    }
}

void SwapColumns(CMatrix& a, int c1, int c2) {
    for (int i = 0; i < a.rows; ++i) {
        double t = a.columns[c1][i];
        a.columns[c1][i] = a.columns[c2][i];
        a.columns[c2][i] = t;
    }
}

}  // namespace

// A singular matrix (a pivot below 1e-7, or a column chosen as pivot twice) stops the
// elimination and comes back in its partly eliminated state; callers judge the result.
CMatrix CMatrix::Inverse() const {
    CMatrix a(*this);
    if (rows != cols)
        return a;
    int n = rows;
    std::vector<int> pivotUsed(static_cast<size_t>(n), 0);
    std::vector<int> rowOf(static_cast<size_t>(n)), colOf(static_cast<size_t>(n));
    for (int step = 0; step < n; ++step) {
        double big = 0;
        int pivotRow = 0, pivotCol = 0;
        for (int r = 0; r < n; ++r) {
            if (pivotUsed[r] == 1)
                continue;
            for (int c = 0; c < n; ++c) {
                if (pivotUsed[c] == 0) {
                    double magnitude = std::fabs(a.columns[c][r]);
                    if (magnitude >= big) {
                        big = magnitude;
                        pivotRow = r;
                        pivotCol = c;
                    }
                } else if (pivotUsed[c] > 1) {
                    return a;
                }
            }
        }
        if (++pivotUsed[pivotCol] > 1)
            return a;
        if (pivotRow != pivotCol)
            SwapRows(a, pivotRow, pivotCol);
        rowOf[step] = pivotRow;
        colOf[step] = pivotCol;
        double pivot = a.columns[pivotCol][pivotCol];
        if (!(std::fabs(pivot) >= kSmallestPivot))
            return a;
        double inverse = 1.0 / pivot;
        a.columns[pivotCol][pivotCol] = 1.0;
        for (int c = 0; c < n; ++c)
            a.columns[c][pivotCol] *= inverse;
        for (int r = 0; r < n; ++r) {
            if (r == pivotCol)
                continue;
            double factor = a.columns[pivotCol][r];
            a.columns[pivotCol][r] = 0.0;
            for (int c = 0; c < n; ++c)
                a.columns[c][r] -= a.columns[c][pivotCol] * factor;
        }
    }
    for (int step = n - 1; step >= 0; --step)
        if (rowOf[step] != colOf[step])
            SwapColumns(a, rowOf[step], colOf[step]);
    return a;
}
