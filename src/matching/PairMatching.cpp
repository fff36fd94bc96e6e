// One image pair at a time: automatic matching of the pair, reading and writing its
// corresponding points in the caller's image order, clearing it, and the reference choice.
#include <new>

#include "project/EngineText.h"
#include "matching/Homography.h"
#include "matching/MatchDescriptors.h"
#include "project/PanoramaEngine.h"

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
    const int n = static_cast<int>(images.size());
    if (a < 0 || b < 0 || a >= n || b >= n || a == b)
        return false;
    dirty = true;
    std::vector<ImageCombination> saved = combinations;
    auto checkedLog = [this](const std::string& text) {
        if (Log(text))
            throw "\nAborted!\n";
    };
    try {
        Log(Tr("Image pair automatic matching...\n"));
        const int order[2] = {std::min(a, b), std::max(a, b)};
        for (int e = 0; e < 2; ++e) {
            Status(Chars::Format(Tr("Extracting features: Image %d of %d").c_str(), e + 1, 2).c_str());
            ExtractImageFeatures(order[e]);
            checkedLog(Chars::Format(Tr("Image %d: %d features extracted\n").c_str(), order[e],
                                     static_cast<int>(images[static_cast<size_t>(order[e])].featurePoints.size()))
                           .c_str());
        }
        ImageCombination& pair = combinations[static_cast<size_t>(CombinationIndex(a, b))];
        checkedLog(Tr("Matching features ... "));
        Status(Tr("Matching features..."));
        const ImageRecord& A = images[static_cast<size_t>(pair.first)];
        const ImageRecord& B = images[static_cast<size_t>(pair.second)];
        MatchDescriptors(A.descriptors, B.descriptors, A.featurePoints, B.featurePoints, pair.P, pair.Q, 0.948);
        checkedLog(Tr("done\n"));
        Log(Tr("Fitting transform...\n"));
        Status(Tr("Fitting transform..."));
        if (pair.P.empty())
            throw "Now corresponding points found\n";
        CMatrix H;
        FitHomographyRansac(H, pair.P, pair.Q, featureMatchingRansacThreshold);
        if (pair.P.empty()) {
            pair.matched = false;
            throw "Fitting transform falied.\n";
        }
        Log(Chars::Format(Tr("Images %d,%d: %d matches found\n").c_str(), pair.first, pair.second,
                          static_cast<int>(pair.P.size()))
                .c_str());
        StorePairFit(pair, FitPair(pair.first, pair.second, pair.P, pair.Q));
        checkedLog(Tr("...fitting transform done.\n"));
        Log(Tr("...image pair matching done\n"));
        referenceImagePath = Chars();
        BuildOverlapHierarchyTrees();
        return true;
    } catch (const std::bad_alloc&) {
        Log(Tr("\nNot enouch memory to finish automatic matching!\n"));
    } catch (const char* message) {
        Log(Chars::Format(Tr("\nAutomatic matching failed: %s\n").c_str(), Tr(message).c_str()).c_str());
    } catch (...) {
        Log(Tr("\nCould not finish automatic matching because of an unknown error!\n"));
    }
    Log(Tr("...image pair matching failed\n"));
    combinations = std::move(saved);
    BuildOverlapHierarchyTrees();
    return false;
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

bool PanoramaEngine::SetCombinationPoints(int a, int b, const std::vector<PointD>& Pa,
                                          const std::vector<PointD>& Pb) {
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
        BuildOverlapHierarchyTrees();
        dirty = true;
        return true;
    }
    if (pair.P.empty() && pair.Q.empty())
        return false;
    pair.P.clear();
    pair.Q.clear();
    pair.matched = false;
    BuildOverlapHierarchyTrees();
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
    BuildOverlapHierarchyTrees();
    dirty = true;
}

void PanoramaEngine::SetReferenceImagePath(const Chars& path) {
    if (path == referenceImagePath)
        return;
    referenceImagePath = path;
    BuildOverlapHierarchyTrees();
    dirty = true;
}

void PanoramaEngine::GetFeaturePoints(int index, std::vector<PointD>& out) const {
    out.clear();
    if (index >= 0 && index < static_cast<int>(images.size()))
        out = images[static_cast<size_t>(index)].featurePoints;
}
