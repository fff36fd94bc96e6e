#include "matching/CorrespondenceRefinement.h"

#include <algorithm>
#include <cmath>

namespace {

using Options = CorrespondenceRefinementOptions;

// Row-major 3 x 3 inverse through the adjugate; false when singular relative to the matrix's
// own scale.
bool Invert3(const double m[9], double out[9]) {
    double det =
        m[0] * (m[4] * m[8] - m[5] * m[7]) - m[1] * (m[3] * m[8] - m[5] * m[6]) + m[2] * (m[3] * m[7] - m[4] * m[6]);
    double scale = 0;
    for (int k = 0; k < 9; ++k)
        scale = std::max(scale, std::fabs(m[k]));
    if (!std::isfinite(det) || scale == 0 || std::fabs(det) <= 1e-14 * scale * scale * scale)
        return false;
    const double adj[9] = {m[4] * m[8] - m[5] * m[7], m[2] * m[7] - m[1] * m[8], m[1] * m[5] - m[2] * m[4],
                           m[5] * m[6] - m[3] * m[8], m[0] * m[8] - m[2] * m[6], m[2] * m[3] - m[0] * m[5],
                           m[3] * m[7] - m[4] * m[6], m[1] * m[6] - m[0] * m[7], m[0] * m[4] - m[1] * m[3]};
    for (int k = 0; k < 9; ++k)
        out[k] = adj[k] / det;
    return true;
}

// The bilinear sample of ImgT::Interpolate, inlined: (col, row) = floor of (x, y), with
// col + 1 and row + 1 inside.
inline float Bilinear(const float* top, const float* bottom, double fx, double fy) {
    double upper = top[0] * (1 - fx) + top[1] * fx;
    double lower = bottom[0] * (1 - fx) + bottom[1] * fx;
    return static_cast<float>(upper * (1 - fy) + lower * fy);
}

inline bool CanInterpolate(const ImgFLOAT& img, double x, double y) {
    return x >= 0 && y >= 0 && static_cast<int>(x) + 1 < img.width && static_cast<int>(y) + 1 < img.height;
}

// Refines one point after another, reusing its buffers.
class PointRefiner {
public:
    PointRefiner(const ImgFLOAT& first, const ImgFLOAT& second, const double* H, const double* inverse,
                 const Options& options)
        : first(first), second(second), H(H), Hinv(inverse), o(options), r(options.patchRadius),
          n(2 * options.patchRadius + 1), N(static_cast<double>(n * n)),
          extended(static_cast<size_t>((n + 2) * (n + 2))), tz(static_cast<size_t>(n * n)), gx(tz.size()),
          gy(tz.size()), patch(tz.size()) {}

    RefinementOutcome Refine(const PointD& p, const PointD& q, PointD* refined) {
        if (!BuildTemplate(p))
            return RefinementOutcome::OutsideImage;
        if (!HasTexture())
            return RefinementOutcome::NoTexture;
        // Most points start within a pixel or so of their place, where the polish alone finds
        // it; the whole-pixel search is the fallback for the rest.
        double tx = q.x, ty = q.y;
        if (PolishFrom(q, &tx, &ty) != RefinementOutcome::Refined) {
            int sx, sy;
            if (!Capture(q, &sx, &sy))
                return RefinementOutcome::OutsideImage;
            tx = sx;
            ty = sy;
            RefinementOutcome outcome = PolishFrom(q, &tx, &ty);
            if (outcome != RefinementOutcome::Refined)
                return outcome;
        }
        *refined = {tx, ty};
        return RefinementOutcome::Refined;
    }

private:
    const ImgFLOAT& first;
    const ImgFLOAT& second;
    const double* H;
    const double* Hinv;
    const Options& o;
    const int r, n;
    const double N;
    std::vector<float> extended;       // (n + 2)^2 template samples, one ring more for the gradients
    std::vector<double> tz;            // the template with its mean taken out, n^2
    std::vector<double> gx, gy;        // its gradients
    std::vector<float> patch;          // the second photograph's patch at the current position
    double tNorm = 0;                  // |tz|
    double a11 = 0, a12 = 0, a22 = 0;  // sum of g g^T

    // The polish from (x, y), judged: converged, correlated, and not too far from q.
    RefinementOutcome PolishFrom(const PointD& q, double* x, double* y) {
        double correlation = 0;
        RefinementOutcome polished = Polish(x, y, &correlation);
        if (polished != RefinementOutcome::Refined)
            return polished;
        if (correlation < o.minCorrelation)
            return RefinementOutcome::LowCorrelation;
        if (std::hypot(*x - q.x, *y - q.y) > o.maxShift)
            return RefinementOutcome::MovedTooFar;
        return RefinementOutcome::Refined;
    }

    // The first photograph on the grid that H carries onto H(p) + (dx, dy), |dx|, |dy| <= r + 1.
    bool BuildTemplate(const PointD& p) {
        double w = H[6] * p.x + H[7] * p.y + H[8];
        if (!(std::fabs(w) > 1e-12))
            return false;
        const double cx = (H[0] * p.x + H[1] * p.y + H[2]) / w, cy = (H[3] * p.x + H[4] * p.y + H[5]) / w;
        const int e = r + 1;
        // A projective image of a square is the convex hull of its corners when none of them
        // crosses the line at infinity, so checking the corners bounds the whole grid.
        for (int corner = 0; corner < 4; ++corner) {
            double u = cx + (corner & 1 ? e : -e), v = cy + (corner & 2 ? e : -e);
            double cw = Hinv[6] * u + Hinv[7] * v + Hinv[8];
            double centreW = Hinv[6] * cx + Hinv[7] * cy + Hinv[8];
            if (!(cw * centreW > 0))
                return false;
            if (!CanInterpolate(first, (Hinv[0] * u + Hinv[1] * v + Hinv[2]) / cw,
                                (Hinv[3] * u + Hinv[4] * v + Hinv[5]) / cw))
                return false;
        }
        const int m = n + 2;
        for (int j = 0; j < m; ++j) {
            const double v = cy + j - e;
            for (int i = 0; i < m; ++i) {
                const double u = cx + i - e;
                const double iw = 1 / (Hinv[6] * u + Hinv[7] * v + Hinv[8]);
                const double x = (Hinv[0] * u + Hinv[1] * v + Hinv[2]) * iw;
                const double y = (Hinv[3] * u + Hinv[4] * v + Hinv[5]) * iw;
                const int col = static_cast<int>(x), row = static_cast<int>(y);
                extended[j * m + i] = Bilinear(first.Row(row) + col, first.Row(row + 1) + col, x - col, y - row);
            }
        }
        GradientsAndMean();
        return true;
    }

    void GradientsAndMean() {
        const int m = n + 2;
        double sum = 0;
        a11 = a12 = a22 = 0;
        for (int j = 0; j < n; ++j) {
            const float* above = &extended[j * m + 1];
            const float* here = above + m;
            const float* below = here + m;
            for (int i = 0; i < n; ++i) {
                double dx = 0.5 * (here[i + 1] - here[i - 1]), dy = 0.5 * (below[i] - above[i]);
                gx[j * n + i] = dx;
                gy[j * n + i] = dy;
                a11 += dx * dx;
                a12 += dx * dy;
                a22 += dy * dy;
                tz[j * n + i] = here[i];
                sum += here[i];
            }
        }
        const double mean = sum / N;
        double norm2 = 0;
        for (double& t : tz) {
            t -= mean;
            norm2 += t * t;
        }
        tNorm = std::sqrt(norm2);
    }

    // The smaller eigenvalue of the mean structure tensor.
    bool HasTexture() const {
        double m11 = a11 / N, m12 = a12 / N, m22 = a22 / N;
        double half = 0.5 * (m11 - m22);
        double smaller = 0.5 * (m11 + m22) - std::sqrt(half * half + m12 * m12);
        return tNorm > 0 && smaller >= o.minTexture;
    }

    // Whole-pixel normalised cross-correlation around q; the best offset's position.
    bool Capture(const PointD& q, int* bestX, int* bestY) {
        const int s = o.searchRadius, reach = s + r + 2;  // + 2: room for the polish's first steps
        const long qx = std::lround(q.x), qy = std::lround(q.y);
        if (!std::isfinite(q.x) || !std::isfinite(q.y) || qx - reach < 0 || qy - reach < 0 ||
            qx + reach >= second.width || qy + reach >= second.height)
            return false;
        double best = -2;
        *bestX = static_cast<int>(qx);
        *bestY = static_cast<int>(qy);
        for (int oy = -s; oy <= s; ++oy)
            for (int ox = -s; ox <= s; ++ox) {
                const int left = static_cast<int>(qx) + ox - r, top = static_cast<int>(qy) + oy - r;
                double dot = 0, sum = 0, sum2 = 0;
                for (int j = 0; j < n; ++j) {
                    const float* row = second.Row(top + j) + left;
                    const double* t = &tz[j * n];
                    for (int i = 0; i < n; ++i) {
                        dot += t[i] * row[i];
                        sum += row[i];
                        sum2 += static_cast<double>(row[i]) * row[i];
                    }
                }
                const double variance = sum2 - sum * sum / N;
                const double ncc = variance > 0 ? dot / (tNorm * std::sqrt(variance)) : -1;
                if (ncc > best) {
                    best = ncc;
                    *bestX = static_cast<int>(qx) + ox;
                    *bestY = static_cast<int>(qy) + oy;
                }
            }
        return true;
    }

    // The patch of the second photograph centred at (x, y); one set of bilinear weights
    // serves the whole patch, since it is shifted by whole pixels from its centre.
    bool SamplePatch(double x, double y) {
        if (!CanInterpolate(second, x - r, y - r) || !CanInterpolate(second, x + r, y + r))
            return false;
        const int col = static_cast<int>(x) - r, row = static_cast<int>(y) - r;
        const double fx = x - static_cast<int>(x), fy = y - static_cast<int>(y);
        for (int j = 0; j < n; ++j) {
            const float* top = second.Row(row + j) + col;
            const float* bottom = second.Row(row + j + 1) + col;
            for (int i = 0; i < n; ++i)
                patch[j * n + i] = Bilinear(top + i, bottom + i, fx, fy);
        }
        return true;
    }

    // Inverse compositional Lucas-Kanade for a translation, with the patch's mean and contrast
    // matched to the template's on every step.
    RefinementOutcome Polish(double* x, double* y, double* correlation) {
        const double det = a11 * a22 - a12 * a12;
        if (!(det > 0))
            return RefinementOutcome::NoTexture;
        const double startX = *x, startY = *y;
        for (int iteration = 0; iteration < o.maxIterations; ++iteration) {
            if (!SamplePatch(*x, *y))
                return RefinementOutcome::OutsideImage;
            double sum = 0;
            for (float v : patch)
                sum += v;
            const double mean = sum / N;
            double dot = 0, norm2 = 0;
            for (size_t k = 0; k < patch.size(); ++k) {
                double d = patch[k] - mean;
                dot += tz[k] * d;
                norm2 += d * d;
            }
            if (!(norm2 > 0))
                return RefinementOutcome::LowCorrelation;
            *correlation = dot / (tNorm * std::sqrt(norm2));
            const double contrast = tNorm / std::sqrt(norm2);
            double bx = 0, by = 0;
            for (size_t k = 0; k < patch.size(); ++k) {
                double error = (patch[k] - mean) * contrast - tz[k];
                bx += gx[k] * error;
                by += gy[k] * error;
            }
            const double stepX = (a22 * bx - a12 * by) / det, stepY = (a11 * by - a12 * bx) / det;
            *x -= stepX;
            *y -= stepY;
            if (std::hypot(*x - startX, *y - startY) > o.searchRadius + 1.0)
                return RefinementOutcome::NotConverged;
            if (std::hypot(stepX, stepY) < o.convergence)
                return RefinementOutcome::Refined;
        }
        return RefinementOutcome::NotConverged;
    }
};

}  // namespace

RefinedCorrespondences RefineCorrespondences(const ImgFLOAT& first, const ImgFLOAT& second, const CMatrix& H,
                                             const std::vector<PointD>& P, const std::vector<PointD>& Q,
                                             const CorrespondenceRefinementOptions& options) {
    if (P.size() != Q.size())
        throw "RefineCorrespondences: P and Q differ in length";
    if (H.rows != 3 || H.cols != 3)
        throw "RefineCorrespondences: the pair transform is not 3 x 3";
    if (options.patchRadius < 1 || options.searchRadius < 0 || options.maxIterations < 1)
        throw "RefineCorrespondences: invalid options";
    double h[9], inverse[9];
    for (int k = 0; k < 9; ++k)
        h[k] = H(k / 3, k % 3);
    if (!Invert3(h, inverse))
        throw "RefineCorrespondences: the pair transform is singular";
    RefinedCorrespondences result;
    result.Q = Q;
    result.keep.assign(Q.size(), 0);
    result.outcome.assign(Q.size(), RefinementOutcome::OutsideImage);
    if (!first.HasPixels() || !second.HasPixels())
        return result;
    PointRefiner refiner(first, second, h, inverse, options);
    for (size_t k = 0; k < Q.size(); ++k) {
        result.outcome[k] = refiner.Refine(P[k], Q[k], &result.Q[k]);
        result.keep[k] = result.outcome[k] == RefinementOutcome::Refined;
        result.kept += result.keep[k];
    }
    return result;
}

void KeepRefined(const RefinedCorrespondences& refined, std::vector<PointD>& P, std::vector<PointD>& Q) {
    if (P.size() != refined.keep.size() || Q.size() != P.size())
        throw "KeepRefined: P does not belong to the refinement";
    size_t out = 0;
    for (size_t k = 0; k < P.size(); ++k)
        if (refined.keep[k]) {
            P[out] = P[k];
            Q[out] = refined.Q[k];
            ++out;
        }
    P.resize(out);
    Q.resize(out);
}
