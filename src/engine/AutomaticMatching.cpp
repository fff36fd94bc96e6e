// Automatic matching of all images: extraction, matching of every pair (of the likely pairs
// in a large set), RANSAC and the pair fit, then the overlap hierarchy.
#include <algorithm>
#include <utility>
#include <vector>

#include "engine/EngineText.h"
#include "engine/PanoramaEngine.h"
#include "image/LargeBlocks.h"
#include "image/ParallelFor.h"
#include "matching/CandidatePairs.h"
#include "matching/PredictedOverlaps.h"

using Zelvo::Chars;

bool PanoramaEngine::ExtractAndMatchFeatures() {
    // Abort and unreadable photographs are logged as thrown; memory exhaustion and anything
    // else pass to FindOverlappingImages.
    OperationTexts texts;
    return RunOperation(
        texts,
        [this] {
            FullResolutionScope photographs(*this);
            // Each photograph is decoded into blocks of the same sizes.
            const LargeBlockReuse reuse;
            dirty = true;
            RebuildCombinations();
            {
                const StageClock clock(stageTimes, "features");
                ExtractFeaturesOfAllImages();
            }
            const StageClock clock(stageTimes, "pair_matching");
            MatchPairsOfAllImages();
            return true;
        },
        nullptr);
}

void PanoramaEngine::MatchPairsOfAllImages() {
    const int count = static_cast<int>(combinations.size());
    if (matchEveryPair || static_cast<int>(images.size()) <= kMatchEveryPairUpTo) {
        std::vector<int> every(static_cast<size_t>(count));
        for (int k = 0; k < count; ++k)
            every[static_cast<size_t>(k)] = k;
        MatchAndFitPairs(every);
        return;
    }
    // Many photographs: most pairs do not overlap, and matching each in full grows with the
    // square of the set. The pairs a quick vote ranks best are matched first; then those that
    // their fitted rotations say must overlap too, until no new one is predicted; photographs
    // still outside the largest group are then tried against every other group.
    std::vector<const std::vector<Descriptor>*> descriptors;
    std::vector<double> widths, heights;
    for (const ImageRecord& image : images) {
        descriptors.push_back(&image.descriptors);
        widths.push_back(image.width);
        heights.push_back(image.height);
    }
    std::vector<char> tried(static_cast<size_t>(count), 0);
    auto matchPairs = [&](const std::vector<std::pair<int, int>>& list) {
        std::vector<int> indices;
        for (const auto& [a, b] : list) {
            const int k = CombinationIndex(a, b);
            if (k >= 0 && !tried[static_cast<size_t>(k)]) {
                tried[static_cast<size_t>(k)] = 1;
                indices.push_back(k);
            }
        }
        MatchAndFitPairs(indices);
        return indices.size();
    };
    Log(Tr("Ranking the pairs by a quick vote...\n"));
    size_t matched = matchPairs(RankCandidatePairs(descriptors));
    auto matchedPairs = [&] {
        return std::count_if(combinations.begin(), combinations.end(),
                             [](const ImageCombination& c) { return c.matched; });
    };
    Log(Chars::Format(Tr("%d pairs ranked best, %d of them matched\n").c_str(), static_cast<int>(matched),
                      static_cast<int>(matchedPairs()))
            .c_str());
    for (int round = 0; round < kMatchingRounds; ++round) {
        if (Status(Tr("Predicting the overlapping pairs...")))
            ThrowAborted();
        size_t added = matchPairs(PredictOverlappingPairs(combinations, tried, widths, heights));
        if (added == 0) {
            // Photographs the vote gave no good partner: tried against every other group.
            added = matchPairs(PairsOfStrayPhotographs(combinations, tried, static_cast<int>(images.size())));
            if (added == 0)
                break;
            matched += added;
            Log(Chars::Format(
                    Tr("%d pairs of photographs outside the largest group tried, %d pairs matched in all\n").c_str(),
                    static_cast<int>(added), static_cast<int>(matchedPairs()))
                    .c_str());
            continue;
        }
        matched += added;
        Log(Chars::Format(Tr("%d more pairs predicted to overlap, %d pairs matched in all\n").c_str(),
                          static_cast<int>(added), static_cast<int>(matchedPairs()))
                .c_str());
    }
    Log(Chars::Format(Tr("%d of %d pairs matched in full\n").c_str(), static_cast<int>(matched), count).c_str());
}

void PanoramaEngine::MatchAndFitPairs(const std::vector<int>& indices) {
    constexpr int kPairsAtATime = 4;
    Log(Tr("Matching features "));
    const int count = static_cast<int>(indices.size());
    auto pairAt = [&](int k) -> ImageCombination& {
        return combinations[static_cast<size_t>(indices[static_cast<size_t>(k)])];
    };
    // Each pair's matching and RANSAC read only its two photographs' features and write only
    // its own combination, so a few pairs at a time run on all cores; the hooks are called
    // here, before the pairs they announce.
    std::vector<CMatrix> homographies(static_cast<size_t>(count));
    for (int c = 0; c < count; c += kPairsAtATime) {
        const int pairs = std::min(kPairsAtATime, count - c);
        for (int k = c; k < c + pairs; ++k) {
            if (Step(k + 1, count,
                     Chars::Format(Tr("Matching features: Image combination %d of %d").c_str(), k + 1, count).c_str()))
                ThrowAborted();
            Tick();
        }
        ParallelFor(pairs, [&](int k) {
            ImageCombination& pair = pairAt(c + k);
            MatchPairDescriptors(pair);
            if (!pair.P.empty())
                KeepRansacInliers(pair, homographies[static_cast<size_t>(c + k)]);
        });
    }
    Log(Tr(" done\n"));

    Log(Tr("Fitting transforms... \n"));
    // The log line and the refinement pair by pair here; the rotation fits, most of the time, a
    // few pairs at a time on all cores.
    std::vector<std::pair<int, bool>> begun;
    // Every batch of rotation fits is announced, the last one too, so that an abort asked for
    // meanwhile is heard.
    auto endPairFits = [&] {
        if (begun.empty())
            return;
        if (Status(Tr("Fitting transforms: rotations of the last pairs begun")))
            ThrowAborted();
        ParallelFor(static_cast<int>(begun.size()), [&](int k) {
            EndPairFit(pairAt(begun[static_cast<size_t>(k)].first), begun[static_cast<size_t>(k)].second);
        });
        begun.clear();
    };
    for (int c = 0; c < count; ++c) {
        ImageCombination& pair = pairAt(c);
        if (pair.P.empty())
            continue;
        if (Step(c + 1, count,
                 Chars::Format(Tr("Fitting transform: Combination %d-%d").c_str(), pair.first, pair.second).c_str()))
            ThrowAborted();
        bool refined = false;
        if (BeginPairFit(pair, homographies[static_cast<size_t>(c)], refined))
            begun.push_back({c, refined});
        if (static_cast<int>(begun.size()) == kPairsAtATime)
            endPairFits();
    }
    endPairFits();
    Log(Tr(" ...fitting transforms done.\n"));
}

bool PanoramaEngine::FindOverlappingImages() {
    if (images.empty()) {
        RecordFailure(EngineFailure::NoImages, "no photographs to match");
        return false;
    }
    std::vector<ImageCombination> saved = combinations;
    OperationTexts texts =
        OperationTexts::Matching("\nCould not finish automatic matching: %s\n", "...find overlapping images failed\n");
    texts.heading = "Finding overlapping images automatically...\n";
    texts.done = "...find overlapping images done\n";
    return RunOperation(
        texts,
        [this] {
            if (!ExtractAndMatchFeatures())
                return false;
            referenceImagePath = Chars();
            if (Status(Tr("Building the overlap hierarchy...")))
                ThrowAborted();
            const StageClock clock(stageTimes, "overlap_hierarchy");
            if (BuildOverlapHierarchyTrees())
                return true;
            RecordFailure(EngineFailure::NoOverlap, "no pair of photographs overlaps");
            return false;
        },
        [this, &saved] {
            combinations = std::move(saved);
            RebuildHierarchy();
        });
}
