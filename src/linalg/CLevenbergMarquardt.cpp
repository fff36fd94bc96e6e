#include "linalg/CLevenbergMarquardt.h"

#include <cmath>
#include <utility>
#include <vector>

namespace {

// The forward difference's step; the Jacobian divides by it (as a product with its inverse).
constexpr double kStep = 1e-10;
constexpr double kInverseStep = 1e10;
constexpr double kSettled = 0.0001;
constexpr double kSmallestLambda = 1e-7;

bool Finite(const CVector& parameters, double stdDev) {
    for (int d = 0; d < parameters.count; ++d)
        if (!std::isfinite(parameters[d]))
            return false;
    return std::isfinite(stdDev);
}

}  // namespace

CVector CLevenbergMarquardt::Evaluate(const CMatrix& input, const CMatrix& observations, CVector& parameters) {
    model.Resize(observations.rows, observations.cols);
    perturbedModel.Resize(observations.rows, observations.cols);
    residualFunction(input, parameters, model, context);
    for (int i = 0; i < parameters.count; ++i) {
        parameters[i] += kStep;
        residualFunction(input, parameters, perturbedModel, context);
        parameters[i] -= kStep;
        double* column = jacobian.columns[i];
        for (int k = 0; k < model.count; ++k)
            column[k] = (perturbedModel.data[k] - model.data[k]) * kInverseStep;
    }
    CVector residuals(observations.count);
    for (int k = 0; k < observations.count; ++k)
        residuals[k] = observations.data[k] - model.data[k];
    return residuals;
}

bool CLevenbergMarquardt::Fit(const CMatrix& input, const CMatrix& observations, CVector& parameters,
                              ResidualFunction function) {
    residualFunction = std::move(function);
    double lambda = initialLambda;
    int n = parameters.count;
    jacobian.Resize(observations.count, n);
    iterations = 0;

    CVector r = Evaluate(input, observations, parameters);
    CMatrix Jt = jacobian.Transpose();
    CMatrix N = Jt * jacobian;
    CMatrix g = Jt * r;
    double sigma = r.StdDev();
    CVector accepted = parameters;
    std::vector<double> savedDiagonal(static_cast<size_t>(n));

    for (int i = 0; i < maxIterations; ++i) {
        ++iterations;
        for (int d = 0; d < n; ++d) {
            savedDiagonal[d] = N(d, d);
            N(d, d) *= 1 + lambda;
        }
        CMatrix delta = N.Inverse() * g;
        for (int d = 0; d < n; ++d)
            parameters[d] += delta.data[d];
        r = Evaluate(input, observations, parameters);
        double trial = r.StdDev();
        if (std::fabs(trial - sigma) < kSettled && i > minIterations) {
            residualStdDev = trial;
            return Finite(parameters, residualStdDev);
        }
        if (trial < sigma) {
            lambda = std::fmax(lambda * 0.1, kSmallestLambda);
            Jt = jacobian.Transpose();
            g = Jt * r;
            N = Jt * jacobian;
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
