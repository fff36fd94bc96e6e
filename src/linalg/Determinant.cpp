// LU decomposition by Crout's method with implicit partial pivoting.
#include <cmath>
#include <vector>

#include "linalg/CMatrix.h"

namespace {

constexpr double kTinyPivot = 2.2250738585072014e-308;

}  // namespace

double CMatrix::Determinant() const {
    if (rows != cols || rows == 0)
        return 0;
    int n = rows;
    CMatrix a(*this);
    std::vector<double> scale(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        double big = 0;
        for (int j = 0; j < n; ++j)
            big = std::fmax(big, std::fabs(a.columns[j][i]));
        if (big == 0)
            return 0;
        scale[i] = 1.0 / big;
    }
    double sign = 1;
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < j; ++i) {
            double sum = a.columns[j][i];
            for (int k = 0; k < i; ++k)
                sum -= a.columns[k][i] * a.columns[j][k];
            a.columns[j][i] = sum;
        }
        double big = 0;
        int pivotRow = j;
        for (int i = j; i < n; ++i) {
            double sum = a.columns[j][i];
            for (int k = 0; k < j; ++k)
                sum -= a.columns[k][i] * a.columns[j][k];
            a.columns[j][i] = sum;
            double merit = scale[i] * std::fabs(sum);
            if (merit >= big) {
                big = merit;
                pivotRow = i;
            }
        }
        if (pivotRow != j) {
            for (int k = 0; k < n; ++k) {
                double t = a.columns[k][pivotRow];
                a.columns[k][pivotRow] = a.columns[k][j];
                a.columns[k][j] = t;
            }
            sign = -sign;
            scale[pivotRow] = scale[j];
        }
        if (a.columns[j][j] == 0)
            a.columns[j][j] = kTinyPivot;
        if (j != n - 1) {
            double inverse = 1.0 / a.columns[j][j];
            for (int i = j + 1; i < n; ++i)
                a.columns[j][i] *= inverse;
        }
    }
    double det = sign;
    for (int j = 0; j < n; ++j)
        det *= a.columns[j][j];
    return det;
}
