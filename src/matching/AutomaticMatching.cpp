// Automatic matching of all images: extraction, matching of every pair, RANSAC and the
// pair fit, then the overlap hierarchy.
#include <new>

#include "project/EngineText.h"
#include "matching/Homography.h"
#include "matching/MatchDescriptors.h"
#include "project/PanoramaEngine.h"

using Zelvo::Chars;

namespace {

constexpr double kMinCorrelation = 0.948;

}  // namespace

bool PanoramaEngine::ExtractAndMatchFeatures() {
    try {
        dirty = true;
        RebuildCombinations();
        ExtractFeaturesOfAllImages();

        Log(Tr("Matching features "));
        const int count = static_cast<int>(combinations.size());
        for (int c = 0; c < count; ++c) {
            Status(Chars::Format(Tr("Matching features: Image combination %d of %d").c_str(), c + 1, count).c_str());
            Tick();
            ImageCombination& pair = combinations[static_cast<size_t>(c)];
            const ImageRecord& a = images[static_cast<size_t>(pair.first)];
            const ImageRecord& b = images[static_cast<size_t>(pair.second)];
            MatchDescriptors(a.descriptors, b.descriptors, a.featurePoints, b.featurePoints, pair.P, pair.Q,
                             kMinCorrelation);
        }
        Log(Tr(" done\n"));

        Log(Tr("Fitting transforms... \n"));
        for (ImageCombination& pair : combinations) {
            if (pair.P.empty())
                continue;
            if (Status(Chars::Format(Tr("Fitting transform: Combination %d-%d").c_str(), pair.first, pair.second)
                           .c_str()))
                throw "\nAborted!\n";
            CMatrix H;
            FitHomographyRansac(H, pair.P, pair.Q, featureMatchingRansacThreshold);
            if (pair.P.empty())
                continue;
            Log(Chars::Format(Tr("Images %d,%d: %d matches found\n").c_str(), pair.first, pair.second,
                              static_cast<int>(pair.P.size()))
                    .c_str());
            StorePairFit(pair, FitPair(pair.first, pair.second, pair.P, pair.Q));
        }
        Log(Tr(" ...fitting transforms done.\n"));
        return true;
    } catch (const char* message) {
        Log(Tr(message));
        return false;
    }
}

bool PanoramaEngine::FindOverlappingImages() {
    if (images.empty())
        return false;
    std::vector<ImageCombination> saved = combinations;
    Log(Tr("Finding overlapping images automatically...\n"));
    try {
        if (ExtractAndMatchFeatures()) {
            referenceImagePath = Chars();
            if (BuildOverlapHierarchyTrees()) {
                Log(Tr("...find overlapping images done\n"));
                return true;
            }
        }
    } catch (const std::bad_alloc&) {
        Log(Tr("\nNot enouch memory to finish automatic matching!\n"));
    } catch (const char* message) {
        Log(Chars::Format(Tr("\nCould not finish automatic matching: %s\n").c_str(), Tr(message).c_str()).c_str());
    } catch (...) {
        Log(Tr("\nCould not finish automatic matching because of an unknown error!\n"));
    }
    Log(Tr("...find overlapping images failed\n"));
    combinations = std::move(saved);
    BuildOverlapHierarchyTrees();
    return true;
}
