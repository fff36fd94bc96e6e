#pragma once

#include <functional>

#include "linalg/CMatrix.h"
#include "linalg/LeastSquaresProblem.h"

// Levenberg-Marquardt fit of a parameter vector to observations through a residual function.
// What it drives down is the sample standard deviation of the residuals.
class CLevenbergMarquardt {
public:
    // Fills output (sized like the observations) with the model's prediction at parameters,
    // in the observations' element order.
    using ResidualFunction =
        std::function<void(const CMatrix& input, const CVector& parameters, CMatrix& output, void* context)>;

    // Binds a member function of an object as the residual function.
    template <class T>
    static ResidualFunction Bind(T* object, void (T::*member)(const CMatrix&, const CVector&, CMatrix&, void*)) {
        return [object, member](const CMatrix& in, const CVector& p, CMatrix& out, void* ctx) {
            (object->*member)(in, p, out, ctx);
        };
    }

    // True unless the fit ended on numbers that are not finite (a model that diverged); the
    // quality of a fit is residualStdDev. The Jacobian is the model's forward difference in
    // every parameter, held whole.
    bool Fit(const CMatrix& input, const CMatrix& observations, CVector& parameters, ResidualFunction function);
    // The same steps on a problem that assembles its own normal equations.
    bool Minimise(LeastSquaresProblem& problem, CVector& parameters);

    void* context = nullptr;
    double residualStdDev = 0;
    int maxIterations = 100;
    int minIterations = 10;
    int iterations = 0;
    double initialLambda = 0.001;
    // Solve each step's damped normal equations by their Cholesky factor (falling back to the
    // inverse where the factor does not exist) instead of always by the inverse.
    bool solveByCholesky = false;

private:
    CMatrix SolveStep(const CMatrix& N, const CMatrix& g) const;
};
