#include "PairFit.h"

#include <cmath>
#include <numbers>

#include "CLevenbergMarquardt.h"
#include "GeneticOptimizer.h"
#include "Homography.h"
#include "PairRotationModel.h"
#include "PanoramaEngine.h"

namespace {

constexpr double kHalfPi = std::numbers::pi / 2;

struct FitData {
    PointD c;
    const std::vector<PointD>* P;
    const std::vector<PointD>* Q;
};

double SumSquaredTransfer(const CMatrix& H, const std::vector<PointD>& P, const std::vector<PointD>& Q) {
    double sum = 0;
    for (size_t k = 0; k < P.size(); ++k) {
        PointD m = ApplyTransform(H, P[k]);
        sum += (m.x - Q[k].x) * (m.x - Q[k].x) + (m.y - Q[k].y) * (m.y - Q[k].y);
    }
    return sum;
}

class RotationResidual {
public:
    explicit RotationResidual(const PointD& centre) : c(centre) {}
    void Predict(const CMatrix& input, const CVector& p, CMatrix& out, void*) {
        CMatrix H = RotationTransfer(p[0], p[1], p[2], p[3], c, c);
        for (int k = 0; k < input.rows; ++k) {
            PointD m = ApplyTransform(H, {input(k, 0), input(k, 1)});
            out(k, 0) = m.x;
            out(k, 1) = m.y;
        }
    }

private:
    PointD c;
};

}  // namespace

PairRotation FitPairRotation(const PointD& c, const std::vector<PointD>& P, const std::vector<PointD>& Q,
                             int32_t seed) {
    GeneticOptimizer optimizer({{2000, 10, 10000, 1000},
                                {0, -kHalfPi, kHalfPi, 10000},
                                {0, -kHalfPi, kHalfPi, 10000},
                                {0, -kHalfPi, kHalfPi, 10000}},
                               50, 0.8, 0.8, seed);
    FitData data{c, &P, &Q};
    auto fitness = [](const double* g, int, int, void* context) {
        const FitData& d = *static_cast<const FitData*>(context);
        return 1 / (1 + SumSquaredTransfer(RotationTransfer(g[0], g[1], g[2], g[3], d.c, d.c), *d.P, *d.Q));
    };
    std::vector<double> best = optimizer.Run(1000, fitness, &data);
    return {best[0], best[1], best[2], best[3]};
}

void RefinePairRotation(const PointD& c, const std::vector<PointD>& P, const std::vector<PointD>& Q,
                        PairRotation& rotation) {
    const int n = static_cast<int>(P.size());
    if (n == 0 || Q.size() != P.size())
        return;
    CMatrix input(n, 2), observations(n, 2);
    for (int k = 0; k < n; ++k) {
        input(k, 0) = P[k].x;
        input(k, 1) = P[k].y;
        observations(k, 0) = Q[k].x;
        observations(k, 1) = Q[k].y;
    }
    CVector p(4);
    p[0] = rotation.f;
    p[1] = rotation.omega;
    p[2] = rotation.phi;
    p[3] = rotation.kappa;
    RotationResidual residual(c);
    CLevenbergMarquardt lm;
    lm.Fit(input, observations, p, CLevenbergMarquardt::Bind(&residual, &RotationResidual::Predict));
    rotation = {p[0], p[1], p[2], p[3]};
}

void PairMatricesFromParameters(double f, double omega, double phi, double kappa, const PointD& ci,
                                const PointD& cj, CMatrix& forward, CMatrix& backward) {
    forward = RotationTransfer(f, omega, phi, kappa, ci, cj);
    backward = forward.Inverse();
}

PairFitResult PanoramaEngine::FitPair(int i, int j, const std::vector<PointD>& P,
                                      const std::vector<PointD>& Q) const {
    (void)j;
    const ImageRecord& first = images.at(static_cast<size_t>(i));
    const PointD c{first.width / 2, first.height / 2};
    PairRotation r = FitPairRotation(c, P, Q, geneticSeed != 0 ? geneticSeed : GeneticOptimizer::ClockSeed());
    RefinePairRotation(c, P, Q, r);
    PairFitResult fit;
    fit.f = r.f;
    fit.omega = r.omega;
    fit.phi = r.phi;
    fit.kappa = r.kappa;
    PairMatricesFromParameters(r.f, r.omega, r.phi, r.kappa, c, c, fit.forward, fit.backward);
    return fit;
}

void PanoramaEngine::StorePairFit(ImageCombination& pair, const PairFitResult& fit) {
    pair.f = fit.f;
    pair.omega = fit.omega;
    pair.phi = fit.phi;
    pair.kappa = fit.kappa;
    pair.forward = fit.forward;
    pair.backward = fit.backward;
    pair.error = std::sqrt(MeanSquaredTransferError(pair.forward, pair.P, pair.Q));
    pair.matched = true;
}
