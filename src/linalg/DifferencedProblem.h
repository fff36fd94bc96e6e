#pragma once

#include <functional>

#include "linalg/CMatrix.h"
#include "linalg/LeastSquaresProblem.h"

// A model given as a residual function and its observations, its Jacobian taken by forward
// differences in every parameter over the whole model and held whole. Right for a handful of
// parameters; a problem with structure does better with its own LeastSquaresProblem.
class DifferencedProblem : public LeastSquaresProblem {
public:
    // Fills output (sized like the observations) with the model's prediction at parameters.
    using ModelFunction =
        std::function<void(const CMatrix& input, const CVector& parameters, CMatrix& output, void* context)>;

    DifferencedProblem(const CMatrix& input, const CMatrix& observations, ModelFunction function, void* context);

    CVector Residuals(CVector& parameters) override;
    void NormalEquations(CVector& parameters, const CVector& residuals, CMatrix& N, CMatrix& g) override;

private:
    const CMatrix& input;
    const CMatrix& observations;
    ModelFunction function;
    void* context;
    CMatrix model;
    CMatrix perturbed;
    CMatrix jacobian;
};
