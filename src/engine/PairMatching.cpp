// One image pair at a time: automatic matching of the pair, reading and writing its
// corresponding points in the caller's image order, clearing it, and the reference choice.
#include <algorithm>

#include "engine/EngineText.h"
#include "engine/PanoramaEngine.h"

using Zelvo::Chars;

namespace {

bool SamePoints(const std::vector<PointD>& a, const std::vector<PointD>& b) {
    if (a.size() != b.size())
        return false;
    for (size_t k = 0; k < a.size(); ++k)
        if (a[k].x != b[k].x || a[k].y != b[k].y)
            return false;
    return true;
}

}  // namespace

bool PanoramaEngine::MatchImagePair(int a, int b) {
    if (CombinationIndex(a, b) < 0) {
        RecordFailure(EngineFailure::Failed, "no such pair of images");
        return false;
    }
    dirty = true;
    std::vector<ImageCombination> saved = combinations;
    const OperationTexts texts =
        OperationTexts::Matching("\nAutomatic matching failed: %s\n", "...image pair matching failed\n");
    return RunOperation(
        texts,
        [this, a, b] {
            FullResolutionScope photographs(*this);
            Log(Tr("Image pair automatic matching...\n"));
            const int order[2] = {std::min(a, b), std::max(a, b)};
            for (int e = 0; e < 2; ++e) {
                Step(e + 1, 2, Chars::Format(Tr("Extracting features: Image %d of %d").c_str(), e + 1, 2).c_str());
                ExtractImageFeatures(order[e]);
                CheckedLog(Chars::Format(Tr("Image %d: %d features extracted\n").c_str(), order[e],
                                         static_cast<int>(images[static_cast<size_t>(order[e])].featurePoints.size()))
                               .c_str());
            }
            ImageCombination& pair = Pair(a, b);
            CheckedLog(Tr("Matching features ... "));
            Status(Tr("Matching features..."));
            MatchPairDescriptors(pair);
            CheckedLog(Tr("done\n"));
            Log(Tr("Fitting transform...\n"));
            Status(Tr("Fitting transform..."));
            if (pair.P.empty())
                throw "No corresponding points found\n";
            if (!FitPairFromMatches(pair)) {
                pair.matched = false;
                throw "Fitting the transform failed.\n";
            }
            CheckedLog(Tr("...fitting transform done.\n"));
            Log(Tr("...image pair matching done\n"));
            referenceImagePath = Chars();
            BuildOverlapHierarchyTrees();
            return true;
        },
        [this, &saved] {
            combinations = std::move(saved);
            RebuildHierarchy();
        });
}

void PanoramaEngine::GetCombinationPoints(int a, int b, std::vector<PointD>& Pa, std::vector<PointD>& Pb) const {
    Pa.clear();
    Pb.clear();
    int k = CombinationIndex(a, b);
    if (k < 0)
        return;
    const ImageCombination& pair = combinations[static_cast<size_t>(k)];
    if (pair.first == a && pair.second == b) {
        Pa = pair.P;
        Pb = pair.Q;
    } else if (pair.first == b && pair.second == a) {
        Pa = pair.Q;
        Pb = pair.P;
    }
}

bool PanoramaEngine::ComparePoints(int a, int b, const std::vector<PointD>& Pa, const std::vector<PointD>& Pb) const {
    int k = CombinationIndex(a, b);
    if (k < 0)
        return false;
    if (Pa.empty() || Pa.size() != Pb.size())
        return true;
    const ImageCombination& pair = combinations[static_cast<size_t>(k)];
    bool reversed = pair.first == b;
    return SamePoints(reversed ? Pb : Pa, pair.P) && SamePoints(reversed ? Pa : Pb, pair.Q);
}

bool PanoramaEngine::SetCombinationPoints(int a, int b, const std::vector<PointD>& Pa, const std::vector<PointD>& Pb) {
    int k = CombinationIndex(a, b);
    if (k < 0)
        return false;
    ImageCombination& pair = combinations[static_cast<size_t>(k)];
    if (!Pa.empty() && Pa.size() == Pb.size()) {
        bool reversed = pair.first == b;
        const std::vector<PointD>& newP = reversed ? Pb : Pa;
        const std::vector<PointD>& newQ = reversed ? Pa : Pb;
        bool changed = !SamePoints(newP, pair.P) || !SamePoints(newQ, pair.Q);
        pair.P = newP;
        pair.Q = newQ;
        if (!changed)
            return false;
        StorePairFit(pair, FitPair(pair.first, pair.second, pair.P, pair.Q));
        RebuildHierarchy();
        dirty = true;
        return true;
    }
    if (pair.P.empty() && pair.Q.empty())
        return false;
    pair.P.clear();
    pair.Q.clear();
    pair.matched = false;
    RebuildHierarchy();
    dirty = true;
    return true;
}

void PanoramaEngine::ClearCombinationPoints(int a, int b) {
    int k = CombinationIndex(a, b);
    if (k < 0 || combinations.empty())
        return;
    ImageCombination& pair = combinations[static_cast<size_t>(k)];
    pair.P.clear();
    pair.Q.clear();
    pair.matched = false;
    RebuildHierarchy();
    dirty = true;
}

void PanoramaEngine::SetReferenceImagePath(const Chars& path) {
    if (path == referenceImagePath)
        return;
    referenceImagePath = path;
    RebuildHierarchy();
    dirty = true;
}

void PanoramaEngine::GetFeaturePoints(int index, std::vector<PointD>& out) const {
    out.clear();
    if (index >= 0 && index < static_cast<int>(images.size()))
        out = images[static_cast<size_t>(index)].featurePoints;
}
