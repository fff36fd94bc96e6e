#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cstring>
#include <string>
#include <vector>

#include "engine/PanoramaEngine.h"
#include "support/EngineFixture.h"
#include "support/RenderedViews.h"

namespace {

void UseImages(PanoramaEngine& engine, const std::vector<std::string>& paths) {
    EngineFixture::SetImagePaths(engine, paths);
}

}  // namespace

TEST(ExtractionLoop, AbortStopsAfterTheCurrentImage) {
    RenderedViews set({View(0, 0, 0, 500, 640, 480), View(20, 0, 0, 500, 640, 480), View(40, 0, 0, 500, 640, 480)});
    PanoramaEngine engine;
    UseImages(engine, {set.Path(0), set.Path(1), set.Path(2)});
    std::string log, status;
    int ticks = 0;
    engine.SetLogHook([&](const char* text) {
        log += text;
        return std::string(text) == "." && ++ticks == 1;  // "Abort" pressed during the first image
    });
    engine.SetStatusHook([&](const char* text) {
        status = text;
        return false;
    });
    try {
        engine.ExtractFeaturesOfAllImages();
        FAIL() << "no abort";
    } catch (const char* message) {
        EXPECT_STREQ(message, "\nAborted!\n");
    }
    EXPECT_EQ(log, "Extracting features .");
    EXPECT_EQ(status, "Extracting features: Image 1 of 3");
    EXPECT_FALSE(engine.Image(0).featurePoints.empty());
    EXPECT_TRUE(engine.Image(1).featurePoints.empty());

    engine.SetLogHook([&](const char* text) {
        log += text;
        return false;
    });
    log.clear();
    engine.ExtractFeaturesOfAllImages();
    EXPECT_EQ(log, "Extracting features ... done\n");
    EXPECT_EQ(status, "Extracting features: Image 3 of 3");
    for (const ImageRecord& r : engine.Images()) {
        EXPECT_GT(r.featurePoints.size(), 20u);
        EXPECT_EQ(r.featurePoints.size(), r.descriptors.size());
    }
}

TEST(ExtractionLoop, UnreadableAndTinyPhotographs) {
    QTemporaryDir dir;
    RenderedViews set({View(0, 0, 0, 500, 640, 480), View(0, 0, 0, 30, 40, 30)});
    std::string garbage = dir.filePath("garbage.jpg").toStdString();
    Zelvo::Chars("not an image").WriteFile(garbage.c_str());
    PanoramaEngine engine;
    UseImages(engine, {set.Path(0), garbage, set.Path(1)});
    engine.ExtractImageFeatures(0);
    size_t before = engine.Image(0).featurePoints.size();
    ASSERT_GT(before, 0u);
    EngineFixture::Image(engine, 1).featurePoints = {{1, 2}};
    try {
        engine.ExtractImageFeatures(1);
        FAIL();
    } catch (const char* message) {
        EXPECT_STREQ(message, "\nCould not load a image!\n");
    }
    EXPECT_EQ(engine.Image(0).featurePoints.size(), before);
    EXPECT_EQ(engine.Image(1).featurePoints.size(), 1u);  // left as it was
    // A tiny photograph is enlarged to the working size and extracted without error.
    engine.SetFeatureExtractionImageSize(200);
    engine.ExtractImageFeatures(2);
    EXPECT_EQ(engine.Image(2).featurePoints.size(), engine.Image(2).descriptors.size());
}

TEST(ExtractionLoop, NumericProgressCountsEveryImage) {
    RenderedViews set({View(0, 0, 0, 500, 320, 240), View(20, 0, 0, 500, 320, 240), View(40, 0, 0, 500, 320, 240),
                       View(60, 0, 0, 500, 320, 240)});
    PanoramaEngine engine;
    UseImages(engine, {set.Path(0), set.Path(1), set.Path(2), set.Path(3)});
    std::vector<std::pair<int, int>> seen;
    std::vector<std::string> statusSeen;
    engine.SetProgressHook([&](int step, int total) { seen.push_back({step, total}); });
    engine.SetStatusHook([&](const char* text) {
        statusSeen.push_back(text);
        // The numbers arrive before the text that belongs to them.
        EXPECT_EQ(engine.ProgressStep(), seen.back().first);
        return false;
    });
    engine.ExtractFeaturesOfAllImages();
    ASSERT_EQ(seen.size(), 4u);
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(seen[static_cast<size_t>(k)].first, k + 1);
        EXPECT_EQ(seen[static_cast<size_t>(k)].second, 4);
    }
    EXPECT_EQ(statusSeen.back(), "Extracting features: Image 4 of 4");
}

// The loop extracts photographs on two threads, each taking the next one in turn: its points and
// descriptors are those of extracting each photograph alone, and a photograph that cannot be
// read on the worker's side stops the loop with its name as on the calling thread's side.
TEST(ExtractionLoop, TwoAtATimeGivesTheSameFeaturesAsOneByOne) {
    RenderedViews set({View(0, 0, 0, 500, 480, 360), View(20, 0, 0, 500, 480, 360), View(40, 0, 0, 500, 480, 360)});
    PanoramaEngine together, alone;
    UseImages(together, {set.Path(0), set.Path(1), set.Path(2)});
    UseImages(alone, {set.Path(0), set.Path(1), set.Path(2)});
    together.ExtractFeaturesOfAllImages();
    for (int i = 0; i < 3; ++i) {
        alone.ExtractImageFeatures(i);
        const ImageRecord& a = together.Image(i);
        const ImageRecord& b = alone.Image(i);
        ASSERT_GT(a.featurePoints.size(), 20u);
        ASSERT_EQ(a.featurePoints.size(), b.featurePoints.size());
        ASSERT_EQ(a.descriptors.size(), b.descriptors.size());
        for (size_t k = 0; k < a.featurePoints.size(); ++k) {
            EXPECT_EQ(a.featurePoints[k].x, b.featurePoints[k].x);
            EXPECT_EQ(a.featurePoints[k].y, b.featurePoints[k].y);
            EXPECT_EQ(std::memcmp(&a.descriptors[k], &b.descriptors[k], sizeof(Descriptor)), 0) << i << ": " << k;
        }
    }

    QTemporaryDir dir;
    const std::string missing = dir.filePath("gone.jpg").toStdString();
    PanoramaEngine broken;
    UseImages(broken, {set.Path(0), missing, set.Path(2)});
    try {
        broken.ExtractFeaturesOfAllImages();
        FAIL() << "no failure";
    } catch (const char* message) {
        EXPECT_STREQ(message, "\nCould not load a image!\n");
    }
    EXPECT_NE(broken.LastError().find("gone.jpg"), std::string::npos) << broken.LastError();
    EXPECT_FALSE(broken.Image(0).featurePoints.empty());
    EXPECT_TRUE(broken.Image(2).featurePoints.empty());
}

// A large first photograph keeps the calling thread busy while the worker goes through the small
// ones: they are still stored and announced in the photographs' order, each once.
TEST(ExtractionLoop, PhotographsFinishedOutOfOrderAreStoredInOrder) {
    RenderedViews set({View(0, 0, 0, 1500, 1920, 1440), View(20, 0, 0, 300, 320, 240), View(40, 0, 0, 300, 320, 240),
                       View(60, 0, 0, 300, 320, 240), View(80, 0, 0, 300, 320, 240)});
    PanoramaEngine engine;
    UseImages(engine, {set.Path(0), set.Path(1), set.Path(2), set.Path(3), set.Path(4)});
    std::vector<std::string> statusSeen;
    std::vector<size_t> storedWhenAnnounced;
    engine.SetStatusHook([&](const char* text) {
        statusSeen.push_back(text);
        size_t stored = 0;
        for (const ImageRecord& r : engine.Images())
            stored += r.featurePoints.empty() ? 0 : 1;
        storedWhenAnnounced.push_back(stored);
        return false;
    });
    engine.ExtractFeaturesOfAllImages();
    ASSERT_EQ(statusSeen.size(), 5u);
    for (size_t k = 0; k < 5; ++k) {
        EXPECT_EQ(statusSeen[k], "Extracting features: Image " + std::to_string(k + 1) + " of 5");
        EXPECT_EQ(storedWhenAnnounced[k], k) << "photograph " << k + 1 << " announced after the ones before it";
        EXPECT_GT(engine.Image(static_cast<int>(k)).featurePoints.size(), 20u) << k;
    }
}
