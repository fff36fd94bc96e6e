#include "stitching/PoissonSolver.h"

#include <cmath>
#include <numbers>
#include <vector>

#include "stitching/SineTransform.h"

namespace stitch {

namespace {

// The divisor's ε: it keeps the (0, 0) term, whose coefficient is always zero, finite.
constexpr double kEpsilon = 2.220446049250313e-16;

// 2 cos(pi k / (n - 1)) for k = 0 .. n-1; a one-point side has only k = 0.
std::vector<double> CosineTerms(int n) {
    std::vector<double> t(static_cast<size_t>(n));
    for (int k = 0; k < n; ++k)
        t[k] = n > 1 ? 2.0 * std::cos(std::numbers::pi * k / (n - 1)) : 2.0;
    return t;
}

}  // namespace

PoissonSolver::PoissonSolver(int w, int h, PoissonGrid sizing)
    : height_(h), grid_(sizing == PoissonGrid::Padded ? NextTransformSize(w) : NextPowerOfTwo(w),
                        sizing == PoissonGrid::Padded ? NextTransformSize(h) : NextPowerOfTwo(h)) {}

void PoissonSolver::Forward() {
    // Rows, then the columns as rows of the transposed grid; the coefficients stay transposed.
    // The rows below the rectangle are zero, and so are their transforms.
    OddTransformRows(grid_, 1, height_);
    coefficients_ = SineGrid(grid_.Height(), grid_.Width(), SineGrid::Uninitialised{});
    TransposeScaled(grid_, coefficients_, 1.0f);
    OddTransformRows(coefficients_);
}

void PoissonSolver::Inverse() {
    int W = grid_.Width(), H = grid_.Height();
    std::vector<double> column = CosineTerms(W), row = CosineTerms(H);
    // RODFT00 is twice the sine sum per direction, and the sine transform is its own inverse
    // up to 2 / n: the two transforms together carry 4 W H, taken out with the divisor.
    double scale = 4.0 * W * H;
    for (int c = 0; c < W; ++c) {
        float* coefficient = coefficients_.Row(c);
        for (int r = 0; r < H; ++r) {
            double divisor = column[c] + row[r] - 4.0 + kEpsilon;
            coefficient[r] = static_cast<float>(coefficient[r] / (divisor * scale));
        }
    }
    OddTransformRows(coefficients_);
    TransposeScaled(coefficients_, grid_, 1.0f);
    coefficients_ = SineGrid();
    OddTransformRows(grid_, 1, height_);
}

}  // namespace stitch
