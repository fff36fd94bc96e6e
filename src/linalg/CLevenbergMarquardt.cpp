#include "linalg/CLevenbergMarquardt.h"

#include <cmath>
#include <utility>
#include <vector>

#include "linalg/Cholesky.h"
#include "linalg/DifferencedProblem.h"

namespace {

constexpr double kSettled = 0.0001;
constexpr double kSmallestLambda = 1e-7;

bool Finite(const CVector& parameters, double stdDev) {
    for (int d = 0; d < parameters.count; ++d)
        if (!std::isfinite(parameters[d]))
            return false;
    return std::isfinite(stdDev);
}

}  // namespace

bool CLevenbergMarquardt::Fit(const CMatrix& input, const CMatrix& observations, CVector& parameters,
                              ResidualFunction function) {
    DifferencedProblem problem(input, observations, std::move(function), context);
    return Minimise(problem, parameters);
}

CMatrix CLevenbergMarquardt::SolveStep(const CMatrix& N, const CMatrix& g) const {
    if (solveByCholesky) {
        CVector delta;
        if (SolveCholesky(N, CVector(g), delta))
            return std::move(delta);
    }
    return N.Inverse() * g;
}

bool CLevenbergMarquardt::Minimise(LeastSquaresProblem& problem, CVector& parameters) {
    double lambda = initialLambda;
    const int n = parameters.count;
    iterations = 0;

    CVector r = problem.Residuals(parameters);
    CMatrix N, g;
    problem.NormalEquations(parameters, r, N, g);
    double sigma = r.StdDev();
    CVector accepted = parameters;
    std::vector<double> savedDiagonal(static_cast<size_t>(n));

    for (int i = 0; i < maxIterations; ++i) {
        ++iterations;
        for (int d = 0; d < n; ++d) {
            savedDiagonal[d] = N(d, d);
            N(d, d) *= 1 + lambda;
        }
        const CMatrix delta = SolveStep(N, g);
        for (int d = 0; d < n; ++d)
            parameters[d] += delta.data[d];
        r = problem.Residuals(parameters);
        const double trial = r.StdDev();
        if (std::fabs(trial - sigma) < kSettled && i > minIterations) {
            residualStdDev = trial;
            return Finite(parameters, residualStdDev);
        }
        if (trial < sigma) {
            lambda = std::fmax(lambda * 0.1, kSmallestLambda);
            // The Jacobian is needed only where a step was accepted.
            problem.NormalEquations(parameters, r, N, g);
            sigma = trial;
            accepted = parameters;
        } else {
            lambda *= 10;
            for (int d = 0; d < n; ++d)
                N(d, d) = savedDiagonal[d];
            parameters = accepted;
        }
    }
    // The parameters are those of the last accepted step, and so is the quality reported.
    residualStdDev = sigma;
    return Finite(parameters, residualStdDev);
}
