// The step that automatic matching and pair matching share: descriptors of the pair's two
// images matched into P and Q, then RANSAC and the pure-rotation fit on the inliers.
#include "matching/Homography.h"
#include "matching/MatchDescriptors.h"
#include "project/EngineText.h"
#include "project/PanoramaEngine.h"

namespace {

// Matches whose descriptors correlate less than this are not taken.
constexpr double kMinCorrelation = 0.948;

}  // namespace

void PanoramaEngine::MatchPairDescriptors(ImageCombination& pair) const {
    const ImageRecord& a = images[static_cast<size_t>(pair.first)];
    const ImageRecord& b = images[static_cast<size_t>(pair.second)];
    MatchDescriptors(a.descriptors, b.descriptors, a.featurePoints, b.featurePoints, pair.P, pair.Q,
                     kMinCorrelation);
}

bool PanoramaEngine::FitPairFromMatches(ImageCombination& pair) {
    CMatrix H;
    FitHomographyRansac(H, pair.P, pair.Q, GetFeatureMatchingRansacThreshold());
    if (pair.P.empty())
        return false;
    Log(Zelvo::Chars::Format(Tr("Images %d,%d: %d matches found\n").c_str(), pair.first, pair.second,
                             static_cast<int>(pair.P.size()))
            .c_str());
    StorePairFit(pair, FitPair(pair.first, pair.second, pair.P, pair.Q));
    return true;
}
