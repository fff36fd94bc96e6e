#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include "engine/PanoramaEngine.h"
#include "matching/Homography.h"
#include "support/EngineFixture.h"
#include "support/RenderedViews.h"

TEST(PairOperations, MatchImagePairExtractsInIndexOrderAndFillsTheCombination) {
    RenderedViews set({View(0, 0, 0, 500, 640, 480), View(25, 0, 0, 500, 640, 480), View(90, 0, 0, 500, 640, 480),
                       View(-20, 0, 0, 500, 640, 480)});
    PanoramaEngine engine;
    EngineFixture::SetImagePaths(engine, {set.Path(0), set.Path(1), set.Path(2), set.Path(3)}, 640, 480);
    engine.SetGeneticSeed(11);
    std::string log;
    engine.SetLogHook([&](const char* t) {
        log += t;
        return false;
    });
    ASSERT_TRUE(engine.MatchImagePair(3, 1));
    EXPECT_LT(log.find("Image 1: "), log.find("Image 3: "));
    EXPECT_NE(log.find("...image pair matching done\n"), std::string::npos);
    const ImageCombination& pair = *engine.Combination(1, 3);
    EXPECT_EQ(pair.first, 1);
    EXPECT_EQ(pair.second, 3);
    ASSERT_GT(pair.P.size(), 20u);
    // P lies in image 1: its points map into image 3 through the true rotation.
    double bx, by;
    ASSERT_TRUE(render::MapBetweenViews(set.Spec(1), set.Spec(3), pair.P[0].x, pair.P[0].y, &bx, &by));
    EXPECT_NEAR(bx, pair.Q[0].x, 3);
    EXPECT_NEAR(pair.f, 500, 10);
    EXPECT_TRUE(pair.matched);
    EXPECT_NE(engine.MainTree(), nullptr);
    std::vector<PointD> features;
    engine.GetFeaturePoints(1, features);
    EXPECT_FALSE(features.empty());
    engine.GetFeaturePoints(4, features);
    EXPECT_TRUE(features.empty());

    // A pair that does not overlap fails and leaves the combinations as they were.
    log.clear();
    EXPECT_FALSE(engine.MatchImagePair(2, 3));
    EXPECT_NE(log.find("\nAutomatic matching failed: "), std::string::npos);
    EXPECT_NE(log.find("...image pair matching failed\n"), std::string::npos);
    EXPECT_TRUE(engine.Combination(1, 3)->matched);
    EXPECT_FALSE(engine.Combination(2, 3)->matched);
}

TEST(PairOperations, SettingGettingComparingAndClearingPoints) {
    PanoramaEngine engine;
    EngineFixture::SetImages(engine, 4, 640, 480, "i%d");
    engine.SetGeneticSeed(3);
    std::vector<PointD> in3, in1;
    for (int k = 0; k < 12; ++k) {
        in1.push_back({100.0 + 30 * (k % 4), 100.0 + 40 * (k / 4)});
        in3.push_back({in1.back().x - 60, in1.back().y + 2});
    }
    engine.SetDirty(false);
    EXPECT_TRUE(engine.SetCombinationPoints(3, 1, in3, in1));
    EXPECT_TRUE(engine.IsDirty());
    const ImageCombination& pair = *engine.Combination(1, 3);
    EXPECT_EQ(pair.P[0].x, in1[0].x);  // stored in the combination's own order
    EXPECT_EQ(pair.Q[0].x, in3[0].x);
    EXPECT_TRUE(pair.matched);
    double fitted = pair.f;
    EXPECT_GT(fitted, 0);
    EXPECT_NEAR(pair.error, std::sqrt(MeanSquaredTransferError(pair.forward, pair.P, pair.Q)), 1e-12);

    std::vector<PointD> a, b;
    engine.GetCombinationPoints(3, 1, a, b);
    EXPECT_EQ(a[0].x, in3[0].x);
    EXPECT_EQ(b[0].x, in1[0].x);
    engine.GetCombinationPoints(1, 1, a, b);
    EXPECT_TRUE(a.empty());
    EXPECT_TRUE(engine.ComparePoints(3, 1, in3, in1));
    EXPECT_TRUE(engine.ComparePoints(1, 3, in1, in3));
    std::vector<PointD> moved = in3;
    moved[2].x += 1;
    EXPECT_FALSE(engine.ComparePoints(3, 1, moved, in1));
    EXPECT_TRUE(engine.ComparePoints(3, 1, moved, {}));  // different lengths: nothing to save
    EXPECT_FALSE(engine.ComparePoints(3, 3, in3, in1));

    engine.SetDirty(false);
    EXPECT_FALSE(engine.SetCombinationPoints(3, 1, in3, in1));  // same lists: no refit
    EXPECT_FALSE(engine.IsDirty());
    EXPECT_EQ(pair.f, fitted);

    EXPECT_TRUE(engine.SetCombinationPoints(3, 1, {}, {}));
    EXPECT_FALSE(pair.matched);
    EXPECT_TRUE(pair.P.empty());
    EXPECT_FALSE(engine.SetCombinationPoints(3, 1, {}, {}));
    EXPECT_FALSE(engine.SetCombinationPoints(0, 7, in3, in1));

    engine.SetCombinationPoints(0, 2, in1, in3);
    engine.ClearCombinationPoints(2, 0);
    EXPECT_FALSE(engine.Combination(0, 2)->matched);
}

TEST(PairOperations, AFailedAutomaticRunRestoresThePreviousPairs) {
    RenderedViews set({View(0, 0, 0, 500, 640, 480), View(180, 0, 0, 500, 640, 480)});
    PanoramaEngine engine;
    EngineFixture::SetImagePaths(engine, {set.Path(0), set.Path(1)}, 640, 480);
    engine.SetGeneticSeed(4);
    std::vector<PointD> a, b;
    for (int k = 0; k < 8; ++k) {
        a.push_back({100.0 + 50 * k, 100.0 + 20 * k});
        b.push_back({a.back().x - 30, a.back().y});
    }
    ASSERT_TRUE(engine.SetCombinationPoints(0, 1, a, b));  // a manual pair from before
    std::string log;
    engine.SetLogHook([&](const char* t) {
        log += t;
        return false;
    });
    // A failed run is a failure (it used to report success), and it keeps the pairs of before.
    EXPECT_FALSE(engine.FindOverlappingImages());
    EXPECT_EQ(engine.LastFailure(), EngineFailure::NoOverlap);
    EXPECT_NE(log.find("Finding overlapping images automatically...\n"), std::string::npos);
    EXPECT_NE(log.find("...find overlapping images failed\n"), std::string::npos);
    EXPECT_TRUE(engine.Combinations()[0].matched);
    EXPECT_EQ(engine.Combinations()[0].P.size(), 8u);
    EXPECT_NE(engine.MainTree(), nullptr);  // the previous hierarchy is rebuilt

    PanoramaEngine empty;
    EXPECT_FALSE(empty.FindOverlappingImages());
}

TEST(PairOperations, MemoryRunningOutDuringMatchingIsAFailureThatKeepsThePairs) {
    RenderedViews set({View(0, 0, 0, 500, 320, 240), View(20, 0, 0, 500, 320, 240)});
    PanoramaEngine engine;
    EngineFixture::SetImagePaths(engine, {set.Path(0), set.Path(1)}, 320, 240);
    engine.SetGeneticSeed(4);
    std::vector<PointD> a, b;
    for (int k = 0; k < 8; ++k) {
        a.push_back({100.0 + 20 * k, 50.0 + 15 * k});
        b.push_back({a.back().x - 90, a.back().y});
    }
    ASSERT_TRUE(engine.SetCombinationPoints(0, 1, a, b));
    std::string log;
    int ticks = 0;
    engine.SetLogHook([&](const char* t) {
        log += t;
        if (std::string(t) == "." && ++ticks == 2)
            throw std::bad_alloc();  // the second image's extraction runs out of memory
        return false;
    });
    EXPECT_FALSE(engine.FindOverlappingImages());
    EXPECT_EQ(engine.LastFailure(), EngineFailure::OutOfMemory);
    EXPECT_NE(log.find("\nNot enouch memory to finish automatic matching!\n"), std::string::npos);
    EXPECT_NE(log.find("...find overlapping images failed\n"), std::string::npos);
    EXPECT_EQ(engine.Combination(0, 1)->P.size(), 8u);
    EXPECT_NE(engine.MainTree(), nullptr);
}

// Automatic matching runs the descriptor matching and the rotation fits of several pairs at
// once on all cores; every pair comes out exactly as matching that pair alone does.
TEST(PairOperations, PairsMatchedTogetherEqualPairsMatchedAlone) {
    RenderedViews set({View(0, 0, 0, 500, 480, 360), View(22, 0, 0, 500, 480, 360), View(44, 0, 0, 500, 480, 360),
                       View(66, 0, 0, 500, 480, 360), View(88, 0, 0, 500, 480, 360)});
    std::vector<std::string> paths;
    for (int k = 0; k < 5; ++k)
        paths.push_back(set.Path(k));
    PanoramaEngine together;
    EngineFixture::SetImagePaths(together, paths, 480, 360);
    together.SetGeneticSeed(11);
    ASSERT_TRUE(together.FindOverlappingImages());
    int compared = 0;
    for (const ImageCombination& pair : together.Combinations()) {
        if (!pair.matched)
            continue;
        PanoramaEngine alone;
        EngineFixture::SetImagePaths(alone, paths, 480, 360);
        alone.SetGeneticSeed(11);
        ASSERT_TRUE(alone.MatchImagePair(pair.first, pair.second));
        const ImageCombination& single = *alone.Combination(pair.first, pair.second);
        ASSERT_EQ(single.P.size(), pair.P.size()) << pair.first << "-" << pair.second;
        for (size_t k = 0; k < pair.P.size(); ++k) {
            EXPECT_EQ(single.P[k].x, pair.P[k].x);
            EXPECT_EQ(single.Q[k].y, pair.Q[k].y);
        }
        EXPECT_EQ(single.f, pair.f);
        EXPECT_EQ(single.omega, pair.omega);
        EXPECT_EQ(single.phi, pair.phi);
        EXPECT_EQ(single.kappa, pair.kappa);
        ++compared;
    }
    EXPECT_GE(compared, 4);
}

// Every part of automatic matching hears an abort: the feature matching, the last batch of
// rotation fits and the hierarchy build each ask the hook, and an abort there restores the
// pairs the project had.
TEST(PairOperations, AnAbortIsHeardInEveryPartOfAutomaticMatching) {
    RenderedViews set({View(0, 0, 0, 500, 320, 240), View(25, 0, 0, 500, 320, 240), View(50, 0, 0, 500, 320, 240)});
    for (const char* part :
         {"Matching features: Image combination 2", "rotations of the last pairs", "Building the overlap hierarchy"}) {
        PanoramaEngine engine;
        EngineFixture::SetImagePaths(engine, {set.Path(0), set.Path(1), set.Path(2)}, 320, 240);
        engine.SetGeneticSeed(2);
        std::string statuses;
        engine.SetStatusHook([&](const char* text) {
            statuses += std::string(text) + "\n";
            return std::string(text).find(part) != std::string::npos;
        });
        EXPECT_FALSE(engine.FindOverlappingImages()) << part;
        EXPECT_EQ(engine.LastFailure(), EngineFailure::Aborted) << part;
        EXPECT_NE(statuses.find(part), std::string::npos) << statuses;
        EXPECT_EQ(engine.MainTree(), nullptr) << part;
        for (const ImageCombination& pair : engine.Combinations())
            EXPECT_FALSE(pair.matched) << part;
    }
}
