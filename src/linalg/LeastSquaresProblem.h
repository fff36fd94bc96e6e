#pragma once

#include "linalg/CMatrix.h"
#include "linalg/CVector.h"

// A least-squares problem as the Levenberg-Marquardt optimiser sees it: residuals at a point,
// and the normal equations there. A problem that knows its structure can assemble J^T J
// without ever holding the dense Jacobian.
class LeastSquaresProblem {
public:
    virtual ~LeastSquaresProblem() = default;

    // observation - model at the parameters (the problem may leave state behind for a call of
    // NormalEquations() at the same parameters).
    virtual CVector Residuals(CVector& parameters) = 0;
    // N := J^T J and g := J^T r, J the model's Jacobian at the parameters of the last
    // Residuals() call and r its result. The parameters may come back changed by rounding
    // where a difference quotient stepped them forth and back.
    virtual void NormalEquations(CVector& parameters, const CVector& residuals, CMatrix& N, CMatrix& g) = 0;
};

// The Jacobian's forward difference: the step, and its inverse the quotient is multiplied by.
constexpr double kDifferenceStep = 1e-10;
constexpr double kInverseDifferenceStep = 1e10;

// observation - model, element by element in the matrices' order: the residual vector.
inline CVector ResidualsOf(const CMatrix& observations, const CMatrix& model) {
    CVector residuals(observations.count);
    for (int k = 0; k < observations.count; ++k)
        residuals[k] = observations.data[k] - model.data[k];
    return residuals;
}

// N and g sized for parameterCount parameters and cleared, for sums of rows into them.
inline void ClearNormalEquations(int parameterCount, CMatrix& N, CMatrix& g) {
    N.Resize(parameterCount, parameterCount);
    g.Resize(parameterCount, 1);
    for (int k = 0; k < N.count; ++k)
        N.data[k] = 0;
    for (int k = 0; k < g.count; ++k)
        g.data[k] = 0;
}
