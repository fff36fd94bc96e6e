#pragma once

#include <vector>

#include "linalg/CMatrix.h"
#include "linalg/LeastSquaresProblem.h"
#include "linalg/SparseJacobianRow.h"
#include "stitching/Camera.h"
#include "stitching/PhotometricSamples.h"

enum class PhotometricFitStatus {
    Fitted,
    NoSamples,  // no edge gave a sample: nothing to fit, the cameras keep their values
    Diverged,   // the optimiser ended on numbers that are not finite: the cameras are reset
};

// The gains, offsets and the shared vignetting of all cameras, fitted with Levenberg-Marquardt so
// that the corrected colours of both photographs agree at every sample. The reference camera
// (entry 0) keeps offset 0 and gain 1. Parameters: [k1, k2, k3], then per camera after the
// first [o, g] (gray: one pair for all channels) or [o0, o1, o2, g0, g1, g2] (colour). Writing
// parameters clamps them: offsets to +-2.55 L, gains to [1 - L/100, 1 / (1 - L/100)], and a
// negative k1 turns the vignetting off for every camera.
//
// Each sample row touches the shared vignetting and the two cameras of its edge only, so the
// normal equations are summed row by row from the model's derivatives, never from a Jacobian
// held whole: with 60 photographs the Jacobian by differences took 357 evaluations of every
// sample per step.
class PhotometricFitter : public LeastSquaresProblem {
public:
    // The cameras are written by every residual evaluation and hold the result after Fit().
    PhotometricFitter(std::vector<Camera>& cameras, bool colour, double correctionLimit,
                      std::vector<PhotometricEdgeSamples> edges);

    int SampleCount() const { return sampleCount_; }
    // Rows of the fit: one per sample, then one pull row per edge that has samples.
    int RowCount() const { return sampleCount_ + pullRows_; }
    // X (child colours) and Y (parent colours), one row per sample in edge and sample order,
    // followed by the pull rows (0 in both).
    void BuildMatrices(CMatrix& X, CMatrix& Y) const;
    // The current camera values as a parameter vector.
    CVector Parameters() const;
    // Writes the parameters into the cameras, clamped.
    void WriteParameters(const CVector& parameters);
    // The model the optimiser matches to Y. Sample rows, per channel:
    // Y + (g_p Y + o_p) V_p - (g_c X + o_c) V_c, so that the residual Y - model is the
    // difference of the corrected child and parent colours. Pull rows, one per edge with
    // samples: 20 ((1 - g_c) + (1 - g_p)), holding the gains towards 1 where the samples say
    // little. The pull has rows of its own: added to every sample it would be a constant per
    // edge, which the offsets cancel at once, so that it would only shift the offsets by 20 per
    // unit of gain. The context is unused (the fitter holds the edges).
    void PhotometricResidual(const CMatrix& X, const CVector& parameters, CMatrix& model, void* context);
    // At most 100 iterations from the current camera values. On divergence every camera is
    // reset to the neutral values.
    PhotometricFitStatus Fit();

    // The residuals (Y - model, channel by channel as the matrices hold them) and the normal
    // equations from the model's derivatives. A clamped parameter has none: the model does not
    // move with it.
    CVector Residuals(CVector& parameters) override;
    void NormalEquations(CVector& parameters, const CVector& residuals, CMatrix& N, CMatrix& g) override;

    // Take the Jacobian by forward differences over the whole model instead, as a check.
    bool differencedJacobian = false;

    // The optimiser's result before clamping (empty until Fit() has run the optimiser).
    CVector fittedParameters;
    double residualStdDev = 0;
    int iterations = 0;

private:
    int ParametersPerCamera() const { return colour_ ? 6 : 2; }
    // The non-zero derivatives of one residual row: the three vignetting coefficients and the
    // offset and gain of each of the edge's two cameras.
    using JacobianRow = SparseJacobianRow<7>;
    // Calls sample(edge, child, parent, sample, row) for every sample row and then
    // pull(edge, child, parent, row) for the edge's pull row, for every edge with samples.
    template <class SampleRow, class PullRow>
    void ForEachRow(SampleRow sample, PullRow pull) const;
    void AddCameraDerivatives(JacobianRow& row, const CVector& parameters, int camera, int channel, double dOffset,
                              double dGain) const;

    std::vector<Camera>& cameras_;
    bool colour_;
    double offsetBound_;
    double gainLow_;
    double gainHigh_;
    std::vector<PhotometricEdgeSamples> edges_;
    int sampleCount_ = 0;
    int pullRows_ = 0;
    CMatrix X_;
    CMatrix Y_;
    CMatrix model_;
};
