// Automatic matching of all images: extraction, matching of every pair, RANSAC and the
// pair fit, then the overlap hierarchy.
#include <algorithm>
#include <utility>
#include <vector>

#include "engine/EngineText.h"
#include "engine/PanoramaEngine.h"
#include "image/LargeBlocks.h"
#include "image/ParallelFor.h"

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

            constexpr int kPairsAtATime = 4;
            Log(Tr("Matching features "));
            const int count = static_cast<int>(combinations.size());
            // Each pair's matching reads only its two photographs' features and writes only
            // its own combination, so a few pairs at a time run on all cores; the hooks are
            // called here, before the pairs they announce.
            for (int c = 0; c < count; c += kPairsAtATime) {
                const int pairs = std::min(kPairsAtATime, count - c);
                for (int k = c; k < c + pairs; ++k) {
                    if (Step(k + 1, count,
                             Chars::Format(Tr("Matching features: Image combination %d of %d").c_str(), k + 1, count)
                                 .c_str()))
                        ThrowAborted();
                    Tick();
                }
                ParallelFor(pairs, [&](int k) { MatchPairDescriptors(combinations[static_cast<size_t>(c + k)]); });
            }
            Log(Tr(" done\n"));

            Log(Tr("Fitting transforms... \n"));
            // RANSAC, the log line and the refinement pair by pair here; the rotation fits, most
            // of the time, a few pairs at a time on all cores.
            std::vector<std::pair<int, bool>> begun;
            // Every batch of rotation fits is announced, the last one too, so that an abort asked
            // for meanwhile is heard.
            auto endPairFits = [&] {
                if (begun.empty())
                    return;
                if (Status(Tr("Fitting transforms: rotations of the last pairs begun")))
                    ThrowAborted();
                ParallelFor(static_cast<int>(begun.size()), [&](int k) {
                    EndPairFit(combinations[static_cast<size_t>(begun[static_cast<size_t>(k)].first)],
                               begun[static_cast<size_t>(k)].second);
                });
                begun.clear();
            };
            for (int c = 0; c < count; ++c) {
                ImageCombination& pair = combinations[static_cast<size_t>(c)];
                if (pair.P.empty())
                    continue;
                if (Step(c + 1, count,
                         Chars::Format(Tr("Fitting transform: Combination %d-%d").c_str(), pair.first, pair.second)
                             .c_str()))
                    ThrowAborted();
                bool refined = false;
                if (BeginPairFit(pair, refined))
                    begun.push_back({c, refined});
                if (static_cast<int>(begun.size()) == kPairsAtATime)
                    endPairFits();
            }
            endPairFits();
            Log(Tr(" ...fitting transforms done.\n"));
            return true;
        },
        nullptr);
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
