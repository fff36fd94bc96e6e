#include "linalg/DifferencedProblem.h"

#include <utility>

DifferencedProblem::DifferencedProblem(const CMatrix& input, const CMatrix& observations, ModelFunction function,
                                       void* context)
    : input(input), observations(observations), function(std::move(function)), context(context) {}

CVector DifferencedProblem::Residuals(CVector& parameters) {
    model.Resize(observations.rows, observations.cols);
    function(input, parameters, model, context);
    return ResidualsOf(observations, model);
}

void DifferencedProblem::NormalEquations(CVector& parameters, const CVector& residuals, CMatrix& N, CMatrix& g) {
    jacobian.Resize(observations.count, parameters.count);
    perturbed.Resize(observations.rows, observations.cols);
    for (int i = 0; i < parameters.count; ++i) {
        parameters[i] += kDifferenceStep;
        function(input, parameters, perturbed, context);
        parameters[i] -= kDifferenceStep;
        double* column = jacobian.columns[i];
        for (int k = 0; k < model.count; ++k)
            column[k] = (perturbed.data[k] - model.data[k]) * kInverseDifferenceStep;
    }
    const CMatrix Jt = jacobian.Transpose();
    N = Jt * jacobian;
    g = Jt * residuals;
}
