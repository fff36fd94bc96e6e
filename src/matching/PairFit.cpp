#include "matching/PairFit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "linalg/CLevenbergMarquardt.h"
#include "linalg/NearestRotation.h"
#include "matching/GeneticOptimizer.h"
#include "matching/Homography.h"
#include "matching/PairRotationModel.h"

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

double RotationTransferError(const PointD& c, const PairRotation& r, const std::vector<PointD>& P,
                             const std::vector<PointD>& Q) {
    return SumSquaredTransfer(RotationTransfer(r.f, r.omega, r.phi, r.kappa, c, c), P, Q);
}

PairRotation RotationFromHomography(const PointD& c, const CMatrix& H, const std::vector<PointD>& P,
                                    const std::vector<PointD>& Q) {
    PairRotation best{2000, 0, 0, 0};
    double bestError = RotationTransferError(c, best, P, Q);
    double h[9];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            h[3 * i + j] = H(i, j);
    for (int step = 0; step <= 80; ++step) {
        double f = 50 * std::pow(10000.0 / 50, step / 80.0);
        // M = K^-1 H K, written out: K = [[f, 0, cx], [0, f, cy], [0, 0, 1]].
        double hk[9], M[9];
        for (int i = 0; i < 3; ++i) {
            hk[3 * i] = h[3 * i] * f;
            hk[3 * i + 1] = h[3 * i + 1] * f;
            hk[3 * i + 2] = h[3 * i] * c.x + h[3 * i + 1] * c.y + h[3 * i + 2];
        }
        for (int j = 0; j < 3; ++j) {
            M[j] = (hk[j] - c.x * hk[6 + j]) / f;
            M[3 + j] = (hk[3 + j] - c.y * hk[6 + j]) / f;
            M[6 + j] = hk[6 + j];
        }
        // The nearest proper rotation (what U V^T of the decomposition gives, turned proper).
        double R[9];
        NearestRotation(M, R);
        PairRotation r{f, std::atan2(R[7], R[8]), -std::asin(std::clamp(R[6], -1.0, 1.0)), std::atan2(R[3], R[0])};
        double e = RotationTransferError(c, r, P, Q);
        if (e < bestError) {
            bestError = e;
            best = r;
        }
    }
    return best;
}

PairRotation FitPairRotation(const PointD& c, const std::vector<PointD>& P, const std::vector<PointD>& Q,
                             int32_t seed) {
    GeneticOptimizer optimizer({{2000, 10, 10000, 1000},
                                {0, -kHalfPi, kHalfPi, 10000},
                                {0, -kHalfPi, kHalfPi, 10000},
                                {0, -kHalfPi, kHalfPi, 10000}},
                               50, 0.8, 0.8, seed);
    FitData data{c, &P, &Q};
    // 50 individuals over 1001 generations: the model is built in plain numbers here, without
    // the matrix class's allocations, as K R K^-1 written out.
    auto fitness = [](const double* g, int, int, void* context) {
        const FitData& d = *static_cast<const FitData*>(context);
        const double f = g[0], cx = d.c.x, cy = d.c.y;
        double r[9];
        RotationEntries(g[1], g[2], g[3], r);
        // H = K R K^-1 with K^-1 = [[1/f, 0, -cx/f], [0, 1/f, -cy/f], [0, 0, 1]].
        double h[9];
        for (int i = 0; i < 3; ++i) {
            const double* ri = r + 3 * i;
            double a = ri[0] / f, b = ri[1] / f, e = -ri[0] * cx / f - ri[1] * cy / f + ri[2];
            double rows[3] = {a, b, e};
            for (int k = 0; k < 3; ++k)
                h[3 * i + k] = rows[k];
        }
        // Row i of K: (f, 0, cx), (0, f, cy), (0, 0, 1).
        double H[9];
        for (int k = 0; k < 3; ++k) {
            H[k] = f * h[k] + cx * h[6 + k];
            H[3 + k] = f * h[3 + k] + cy * h[6 + k];
            H[6 + k] = h[6 + k];
        }
        double sum = 0;
        const std::vector<PointD>& p = *d.P;
        const std::vector<PointD>& q = *d.Q;
        for (size_t n = 0; n < p.size(); ++n) {
            double w = H[6] * p[n].x + H[7] * p[n].y + H[8];
            double x = (H[0] * p[n].x + H[1] * p[n].y + H[2]) / w - q[n].x;
            double y = (H[3] * p[n].x + H[4] * p[n].y + H[5]) / w - q[n].y;
            sum += x * x + y * y;
        }
        return 1 / (1 + sum);
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

void PairMatricesFromParameters(double f, double omega, double phi, double kappa, const PointD& ci, const PointD& cj,
                                CMatrix& forward, CMatrix& backward) {
    forward = RotationTransfer(f, omega, phi, kappa, ci, cj);
    backward = forward.Inverse();
}
