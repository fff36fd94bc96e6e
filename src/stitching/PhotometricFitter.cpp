#include "stitching/PhotometricFitter.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "linalg/CLevenbergMarquardt.h"
#include "stitching/Vignetting.h"

namespace {

// The pull row of an edge: this much per unit of gain deviation from 1 of its two cameras.
constexpr double kGainPull = 20;
constexpr int kMaxIterations = 100;

bool AllFinite(const CVector& v) {
    for (int k = 0; k < v.count; ++k)
        if (!std::isfinite(v[k]))
            return false;
    return true;
}

}  // namespace

PhotometricFitter::PhotometricFitter(std::vector<Camera>& cameras, bool colour, double correctionLimit,
                                     std::vector<PhotometricEdgeSamples> edges)
    : cameras_(cameras), colour_(colour), edges_(std::move(edges)) {
    const double L = std::clamp(correctionLimit, 1.0, 30.0);
    offsetBound_ = 2.55 * L;
    gainLow_ = 1 - L / 100;
    gainHigh_ = 1 / (1 - L / 100);
    for (const PhotometricEdgeSamples& e : edges_) {
        sampleCount_ += static_cast<int>(e.samples.size());
        pullRows_ += e.samples.empty() ? 0 : 1;
    }
    BuildMatrices(X_, Y_);
}

void PhotometricFitter::BuildMatrices(CMatrix& X, CMatrix& Y) const {
    X.Resize(RowCount(), 3);
    Y.Resize(RowCount(), 3);
    for (int k = 0; k < X.count; ++k)
        X.data[k] = Y.data[k] = 0;
    int row = 0;
    for (const PhotometricEdgeSamples& e : edges_)
        for (const PhotometricSample& s : e.samples) {
            for (int k = 0; k < 3; ++k) {
                X(row, k) = s.childColour[k];
                Y(row, k) = s.parentColour[k];
            }
            ++row;
        }
}

CVector PhotometricFitter::Parameters() const {
    const int per = ParametersPerCamera();
    const int n = static_cast<int>(cameras_.size());
    CVector p(3 + per * std::max(0, n - 1));
    for (int k = 0; k < 3; ++k)
        p[k] = cameras_.empty() ? 0 : cameras_[0].vignetting[k];
    for (int i = 1; i < n; ++i) {
        const Camera& c = cameras_[static_cast<size_t>(i)];
        double* q = p.data + 3 + per * (i - 1);
        if (colour_) {
            for (int k = 0; k < 3; ++k) {
                q[k] = c.offsets[k];
                q[3 + k] = c.gains[k];
            }
        } else {
            q[0] = c.offsets[0];
            q[1] = c.gains[0];
        }
    }
    return p;
}

void PhotometricFitter::WriteParameters(const CVector& p) {
    // A vignetting that brightens the centre against the corners is no lens's: k1 < 0 means
    // the fit found none, and every camera goes without.
    const bool vignetting = !(p[0] < 0);
    for (Camera& c : cameras_)
        for (int k = 0; k < 3; ++k)
            c.vignetting[k] = vignetting ? p[k] : 0;
    const int per = ParametersPerCamera();
    for (size_t i = 1; i < cameras_.size(); ++i) {
        Camera& c = cameras_[i];
        const double* q = p.data + 3 + per * static_cast<int>(i - 1);
        for (int k = 0; k < 3; ++k) {
            c.offsets[k] = std::clamp(colour_ ? q[k] : q[0], -offsetBound_, offsetBound_);
            c.gains[k] = std::clamp(colour_ ? q[3 + k] : q[1], gainLow_, gainHigh_);
        }
    }
}

template <class SampleRow, class PullRow>
void PhotometricFitter::ForEachRow(SampleRow sample, PullRow pull) const {
    int row = 0, pullRow = sampleCount_;
    for (const PhotometricEdgeSamples& e : edges_) {
        if (e.samples.empty())
            continue;
        const Camera& c = cameras_[static_cast<size_t>(e.childCamera)];
        const Camera& p = cameras_[static_cast<size_t>(e.parentCamera)];
        for (const PhotometricSample& s : e.samples)
            sample(e, c, p, s, row++);
        pull(e, c, p, pullRow++);
    }
}

void PhotometricFitter::PhotometricResidual(const CMatrix& X, const CVector& parameters, CMatrix& model,
                                            void* /*context*/) {
    WriteParameters(parameters);
    ForEachRow(
        [&](const PhotometricEdgeSamples&, const Camera& c, const Camera& p, const PhotometricSample& s, int row) {
            const double Vp = VignettingFactor(p, s.parent.x, s.parent.y);
            const double Vc = VignettingFactor(c, s.child.x, s.child.y);
            for (int k = 0; k < 3; ++k) {
                const double x = X(row, k), y = Y_(row, k);
                model(row, k) = y + (p.gains[k] * y + p.offsets[k]) * Vp - (c.gains[k] * x + c.offsets[k]) * Vc;
            }
        },
        [&](const PhotometricEdgeSamples&, const Camera& c, const Camera& p, int row) {
            for (int k = 0; k < 3; ++k)
                model(row, k) = Y_(row, k) + kGainPull * ((1 - c.gains[k]) + (1 - p.gains[k]));
        });
}

CVector PhotometricFitter::Residuals(CVector& parameters) {
    model_.Resize(Y_.rows, Y_.cols);
    PhotometricResidual(X_, parameters, model_, nullptr);
    return ResidualsOf(Y_, model_);
}

// The model moves with a parameter only inside its clamp (a forward step from the upper bound
// already leaves it); the reference camera has no parameters.
void PhotometricFitter::AddCameraDerivatives(JacobianRow& row, const CVector& parameters, int camera, int channel,
                                             double dOffset, double dGain) const {
    if (camera <= 0)
        return;
    const int base = 3 + ParametersPerCamera() * (camera - 1);
    const int offset = base + (colour_ ? channel : 0), gain = base + (colour_ ? 3 + channel : 1);
    if (dOffset != 0 && parameters[offset] >= -offsetBound_ && parameters[offset] < offsetBound_)
        row.Add(offset, dOffset);
    if (parameters[gain] >= gainLow_ && parameters[gain] < gainHigh_)
        row.Add(gain, dGain);
}

void PhotometricFitter::NormalEquations(CVector& parameters, const CVector& residuals, CMatrix& N, CMatrix& g) {
    const int P = parameters.count, rows = Y_.rows;
    ClearNormalEquations(P, N, g);
    WriteParameters(parameters);
    const bool vignetting = !(parameters[0] < 0);
    ForEachRow(
        [&](const PhotometricEdgeSamples& e, const Camera& c, const Camera& p, const PhotometricSample& s, int row) {
            const double Vp = VignettingFactor(p, s.parent.x, s.parent.y);
            const double Vc = VignettingFactor(c, s.child.x, s.child.y);
            const double rp =
                std::pow(s.parent.x - p.vignettingCentreX, 2) + std::pow(s.parent.y - p.vignettingCentreY, 2);
            const double rc =
                std::pow(s.child.x - c.vignettingCentreX, 2) + std::pow(s.child.y - c.vignettingCentreY, 2);
            const double dVp[3] = {rp, rp * rp, rp * rp * rp}, dVc[3] = {rc, rc * rc, rc * rc * rc};
            for (int k = 0; k < 3; ++k) {
                const double x = X_(row, k), y = Y_(row, k);
                const double parentCorrected = p.gains[k] * y + p.offsets[k],
                             childCorrected = c.gains[k] * x + c.offsets[k];
                JacobianRow J;
                if (vignetting)
                    for (int j = 0; j < 3; ++j)
                        J.Add(j, parentCorrected * dVp[j] - childCorrected * dVc[j]);
                AddCameraDerivatives(J, parameters, e.parentCamera, k, Vp, y * Vp);
                AddCameraDerivatives(J, parameters, e.childCamera, k, -Vc, -x * Vc);
                J.SumInto(N, g, residuals[k * rows + row]);
            }
        },
        [&](const PhotometricEdgeSamples& e, const Camera&, const Camera&, int row) {
            for (int k = 0; k < 3; ++k) {
                JacobianRow J;
                AddCameraDerivatives(J, parameters, e.childCamera, k, 0, -kGainPull);
                AddCameraDerivatives(J, parameters, e.parentCamera, k, 0, -kGainPull);
                J.SumInto(N, g, residuals[k * rows + row]);
            }
        });
}

PhotometricFitStatus PhotometricFitter::Fit() {
    residualStdDev = 0;
    iterations = 0;
    if (sampleCount_ == 0)
        return PhotometricFitStatus::NoSamples;
    CVector parameters = Parameters();
    CLevenbergMarquardt optimiser;
    optimiser.maxIterations = kMaxIterations;
    optimiser.context = &edges_;
    const bool finite = differencedJacobian
                            ? optimiser.Fit(X_, Y_, parameters,
                                            CLevenbergMarquardt::Bind(this, &PhotometricFitter::PhotometricResidual))
                            : optimiser.Minimise(*this, parameters);
    residualStdDev = optimiser.residualStdDev;
    iterations = optimiser.iterations;
    fittedParameters = parameters;
    if (!finite || !AllFinite(parameters)) {
        for (Camera& c : cameras_)
            ResetPhotometricFields(c);
        return PhotometricFitStatus::Diverged;
    }
    WriteParameters(parameters);
    return PhotometricFitStatus::Fitted;
}
