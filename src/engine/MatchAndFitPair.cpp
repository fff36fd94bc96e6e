// The step that automatic matching and pair matching share: descriptors of the pair's two
// images matched into P and Q, then RANSAC and the pure-rotation fit on the inliers.
#include <QString>

#include <cmath>
#include <optional>

#include "engine/EngineText.h"
#include "engine/PanoramaEngine.h"
#include "image/ImageFile.h"
#include "matching/CorrespondenceRefinement.h"
#include "matching/FullResolutionImages.h"
#include "matching/GeneticOptimizer.h"
#include "matching/Homography.h"
#include "matching/MatchDescriptors.h"
#include "matching/PairFit.h"

namespace {

// Matches whose descriptors correlate less than this are not taken.
constexpr double kMinCorrelation = 0.948;
// After refinement a pair keeps only points its refitted rotation carries within this many
// full-resolution pixels of their partners.
constexpr double kRefinedTolerance = 1.0;
// Fewer refined points than this: the refinement is not trusted and the pair keeps its own.
constexpr size_t kMinRefinedPoints = 8;
// A pair with at least this many points whose homography start fits them within this rms
// (working pixels) needs no genetic search.
constexpr size_t kPointsToTrustTheHomography = 8;
constexpr double kHomographyStartIsGoodPx = 0.5;
// Memory the full-resolution photographs of a matching run may hold.
constexpr size_t kFullResolutionBudget = size_t(1) << 30;

}  // namespace

void PanoramaEngine::MatchPairDescriptors(ImageCombination& pair) const {
    const ImageRecord& a = images[static_cast<size_t>(pair.first)];
    const ImageRecord& b = images[static_cast<size_t>(pair.second)];
    MatchDescriptors(a.descriptors, b.descriptors, a.featurePoints, b.featurePoints, pair.P, pair.Q, kMinCorrelation);
}

bool PanoramaEngine::FitPairFromMatches(ImageCombination& pair) {
    bool refined = false;
    CMatrix H;
    KeepRansacInliers(pair, H);
    if (!BeginPairFit(pair, H, refined))
        return false;
    EndPairFit(pair, refined);
    return true;
}

void PanoramaEngine::KeepRansacInliers(ImageCombination& pair, CMatrix& H) const {
    FitHomographyRansac(H, pair.P, pair.Q, GetFeatureMatchingRansacThreshold());
}

bool PanoramaEngine::BeginPairFit(ImageCombination& pair, const CMatrix& H, bool& refined) {
    if (pair.P.empty())
        return false;
    Log(Zelvo::Chars::Format(Tr("Images %d,%d: %d matches found\n").c_str(), pair.first, pair.second,
                             static_cast<int>(pair.P.size()))
            .c_str());
    refined = refineCorrespondences && RefinePairPoints(pair, H);
    return true;
}

void PanoramaEngine::EndPairFit(ImageCombination& pair, bool refined) {
    StorePairFit(pair, FitPair(pair.first, pair.second, pair.P, pair.Q));
    if (refined)
        DropPointsOffTheFit(pair);
}

void PanoramaEngine::BeginFullResolution() {
    if (!refineCorrespondences) {
        fullResolution.reset();
        return;
    }
    fullResolution = std::make_unique<FullResolutionImages>(
        kFullResolutionBudget,
        [photographs = Photographs()](int index, ImgFLOAT& image) { return photographs.TryLoadGray(index, image); });
}

void PanoramaEngine::EndFullResolution() { fullResolution.reset(); }

bool PanoramaEngine::RefinePairPoints(ImageCombination& pair, const CMatrix& H) {
    if (!fullResolution)
        return false;
    auto [first, second] = fullResolution->Pair(pair.first, pair.second);
    if (!first || !second)
        return false;
    RefinedCorrespondences refined = RefineCorrespondences(*first, *second, H, pair.P, pair.Q);
    if (static_cast<size_t>(refined.kept) < kMinRefinedPoints)
        return false;
    KeepRefined(refined, pair.P, pair.Q);
    return true;
}

// Points the refined fit still misses by more than a pixel are outliers that survived RANSAC's
// looser test at the working size: they go, and the rotation is polished on the rest.
void PanoramaEngine::DropPointsOffTheFit(ImageCombination& pair) {
    std::vector<PointD> P, Q;
    for (size_t k = 0; k < pair.P.size(); ++k) {
        const PointD m = ApplyTransform(pair.forward, pair.P[k]);
        if (std::hypot(m.x - pair.Q[k].x, m.y - pair.Q[k].y) <= kRefinedTolerance) {
            P.push_back(pair.P[k]);
            Q.push_back(pair.Q[k]);
        }
    }
    if (P.size() == pair.P.size() || P.size() < kMinRefinedPoints)
        return;
    pair.P = std::move(P);
    pair.Q = std::move(Q);
    const ImageRecord& first = images[static_cast<size_t>(pair.first)];
    const PointD c{first.width / 2, first.height / 2};
    PairRotation rotation{pair.f, pair.omega, pair.phi, pair.kappa};
    RefinePairRotation(c, pair.P, pair.Q, rotation);
    PairFitResult fit;
    fit.f = rotation.f;
    fit.omega = rotation.omega;
    fit.phi = rotation.phi;
    fit.kappa = rotation.kappa;
    PairMatricesFromParameters(rotation.f, rotation.omega, rotation.phi, rotation.kappa, c, c, fit.forward,
                               fit.backward);
    StorePairFit(pair, fit);
}

PairFitResult PanoramaEngine::FitPair(int i, int j, const std::vector<PointD>& P, const std::vector<PointD>& Q) const {
    (void)j;
    const ImageRecord& first = images.at(static_cast<size_t>(i));
    const PointD c{first.width / 2, first.height / 2};
    // A start from the pair's homography, polished by least squares, fits almost every pair
    // to the points' own noise. The genetic search samples a large space almost at random and,
    // on its own, often misses the basin of a rotation about a tilted axis by pixels; it is run
    // where the homography's start is not that good (few points, a poor homography), and the
    // better of the two fits is kept.
    std::optional<PairRotation> fromHomography;
    CMatrix H;
    if (P.size() >= 4 && FitHomographyDlt(H, P, Q, static_cast<int>(P.size()))) {
        fromHomography = RotationFromHomography(c, H, P, Q);
        RefinePairRotation(c, P, Q, *fromHomography);
    }
    const bool goodEnough = fromHomography && P.size() >= kPointsToTrustTheHomography &&
                            RotationTransferError(c, *fromHomography, P, Q) <=
                                kHomographyStartIsGoodPx * kHomographyStartIsGoodPx * static_cast<double>(P.size());
    PairRotation r;
    if (goodEnough) {
        r = *fromHomography;
    } else {
        r = FitPairRotation(c, P, Q, geneticSeed != 0 ? geneticSeed : GeneticOptimizer::ClockSeed());
        RefinePairRotation(c, P, Q, r);
        if (fromHomography && RotationTransferError(c, *fromHomography, P, Q) < RotationTransferError(c, r, P, Q))
            r = *fromHomography;
    }
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
