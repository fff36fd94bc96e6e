#include "matching/Homography.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "matching/MinStdRandom.h"

namespace {

double SquaredTransferError(const CMatrix& H, const PointD& p, const PointD& q) {
    PointD m = ApplyTransform(H, p);
    double dx = m.x - q.x, dy = m.y - q.y;
    return dx * dx + dy * dy;
}

struct Normalisation {
    double mx, my, s;
};

Normalisation NormalisationOf(const std::vector<PointD>& pts, int n) {
    double mx = 0, my = 0;
    for (int k = 0; k < n; ++k) {
        mx += pts[k].x;
        my += pts[k].y;
    }
    mx /= n;
    my /= n;
    double spread = 0;
    for (int k = 0; k < n; ++k)
        spread += std::hypot(pts[k].x - mx, pts[k].y - my);
    return {mx, my, std::sqrt(2.0) / (spread / n)};
}

}  // namespace

bool FitHomographyDlt(CMatrix& H, const std::vector<PointD>& P, const std::vector<PointD>& Q, int n) {
    if (n < 4 || static_cast<int>(P.size()) < n || static_cast<int>(Q.size()) < n)
        return false;
    Normalisation np = NormalisationOf(P, n), nq = NormalisationOf(Q, n);
    CMatrix A(2 * n, 9);
    for (int k = 0; k < n; ++k) {
        double px = np.s * (P[k].x - np.mx), py = np.s * (P[k].y - np.my);
        double qx = nq.s * (Q[k].x - nq.mx), qy = nq.s * (Q[k].y - nq.my);
        const double even[9] = {0, 0, 0, -px, -py, -1, qy * px, qy * py, qy};
        const double odd[9] = {px, py, 1, 0, 0, 0, -qx * px, -qx * py, -qx};
        for (int c = 0; c < 9; ++c) {
            A(2 * k, c) = even[c];
            A(2 * k + 1, c) = odd[c];
        }
    }
    CVector h = NullVector(A);
    if (h[8] < 0)
        for (int c = 0; c < 9; ++c)
            h[c] = -h[c];
    for (int c = 0; c < 9; ++c)
        if (!std::isfinite(h[c]))
            return false;
    const double hn[9] = {h[0], h[1], h[2], h[3], h[4], h[5], h[6], h[7], h[8]};
    const double tp[9] = {np.s, 0, -np.s * np.mx, 0, np.s, -np.s * np.my, 0, 0, 1};
    const double tqInverse[9] = {1 / nq.s, 0, nq.mx, 0, 1 / nq.s, nq.my, 0, 0, 1};
    H = CMatrix(3, 3, tqInverse) * CMatrix(3, 3, hn) * CMatrix(3, 3, tp);
    for (int k = 0; k < 9; ++k)
        if (!std::isfinite(H.data[k]))
            return false;
    return true;
}

double MeanSquaredTransferError(const CMatrix& H, const std::vector<PointD>& P, const std::vector<PointD>& Q) {
    if (P.empty() || P.size() != Q.size())
        return DBL_MAX;
    double sum = 0;
    for (size_t k = 0; k < P.size(); ++k)
        sum += SquaredTransferError(H, P[k], Q[k]);
    return sum / static_cast<double>(P.size());
}

void FitHomographyRansac(CMatrix& H, std::vector<PointD>& P, std::vector<PointD>& Q, double threshold,
                         int* iterations) {
    const int n = static_cast<int>(P.size());
    const double t2 = threshold * threshold;
    MinStdRandom random(123456789);
    const int count = (n < 5 || static_cast<int>(Q.size()) != n) ? 0 : std::min(10 * n, 1000);
    if (iterations)
        *iterations = count;

    bool haveBest = false;
    int bestCount = 0;
    double bestMean = 0;
    CMatrix bestH;
    std::vector<PointD> bestP, bestQ;
    std::vector<PointD> sampleP(5), sampleQ(5);
    std::vector<PointD> inP, inQ;
    CMatrix model;
    for (int it = 0; it < count; ++it) {
        int chosen[5];
        for (int d = 0; d < 5;) {
            int32_t s = random.Next();
            int index = static_cast<int>(static_cast<double>(s) / MinStdRandom::kModulus * (n - 1) + 0.5);
            if (std::find(chosen, chosen + d, index) != chosen + d)
                continue;
            chosen[d++] = index;
        }
        for (int d = 0; d < 5; ++d) {
            sampleP[d] = P[chosen[d]];
            sampleQ[d] = Q[chosen[d]];
        }
        if (!FitHomographyDlt(model, sampleP, sampleQ, 5))
            continue;
        bool sampleFits = true;
        for (int d = 0; d < 5 && sampleFits; ++d)
            sampleFits = SquaredTransferError(model, sampleP[d], sampleQ[d]) < t2;
        if (!sampleFits)
            continue;
        inP.clear();
        inQ.clear();
        double sum = 0;
        for (int k = 0; k < n; ++k) {
            double e = SquaredTransferError(model, P[k], Q[k]);
            if (e < t2) {
                inP.push_back(P[k]);
                inQ.push_back(Q[k]);
                sum += e;
            }
        }
        const int inliers = static_cast<int>(inP.size());
        const double mean = sum / inliers;
        if (inliers > 6 && (!haveBest || inliers > bestCount || (inliers == bestCount && mean < bestMean))) {
            // The count and the mean are the sample model's, so only a new best needs its
            // refit on every inlier (the fit over hundreds of points was most of the search).
            CMatrix refit;
            if (FitHomographyDlt(refit, inP, inQ, inliers))
                model = refit;
            haveBest = true;
            bestCount = inliers;
            bestMean = mean;
            bestH = model;
            bestP = inP;
            bestQ = inQ;
        }
    }
    if (haveBest) {
        H = bestH;
        P = std::move(bestP);
        Q = std::move(bestQ);
    } else {
        H.Identity(3);
        P.clear();
        Q.clear();
    }
}
