// The final stitch through the engine: where its hooks are called from, an abort at any tick
// of the work, and a photograph that went away after matching.
#include <gtest/gtest.h>

#include <QFile>

#include <set>
#include <string>
#include <thread>

#include "engine/PanoramaEngine.h"
#include "support/EngineFixture.h"
#include "support/RenderedViews.h"

namespace {

// Three photographs matched by the engine, stitched small.
struct StitchSet {
    StitchSet() : views({View(0, 0, 0, 400, 320, 240), View(30, 0, 0, 400, 320, 240), View(60, 0, 0, 400, 320, 240)}) {
        std::vector<std::string> paths;
        for (size_t i = 0; i < 3; ++i)
            paths.push_back(views.Path(i));
        EngineFixture::SetImagePaths(engine, paths, 320, 240);
        engine.SetGeneticSeed(5);
        EXPECT_TRUE(engine.FindOverlappingImages());
        engine.SetProjectionType(ProjectionType::Cylindrical);
        engine.SetPanoramaImageSize(400);
    }
    RenderedViews views;
    PanoramaEngine engine;
};

}  // namespace

TEST(StitchPanorama, HooksComeFromTheCallingThreadAndAnAbortAtAnyTickLeavesNothing) {
    StitchSet set;
    PanoramaEngine& engine = set.engine;
    const std::thread::id caller = std::this_thread::get_id();
    std::set<std::thread::id> callers;
    int calls = 0;
    std::string log;
    auto hook = [&](const char* text) {
        callers.insert(std::this_thread::get_id());
        ++calls;
        log += text;
        return false;
    };
    engine.SetLogHook(hook);
    engine.SetStatusHook(hook);
    ImgRGB stitched, cropped;
    RectD crop;
    ASSERT_TRUE(engine.StitchPanorama(stitched, cropped, crop)) << log;
    ASSERT_TRUE(stitched.HasPixels());
    ASSERT_TRUE(cropped.HasPixels());
    EXPECT_EQ(callers, std::set<std::thread::id>{caller});
    for (const char* text : {"Rendering panorama step 1: Image 1 of 3", "Rendering panorama step 6: Image 3 of 3",
                             "Adjusting contrast...", "Cropping...", "...stitching done\n"})
        EXPECT_NE(log.find(text), std::string::npos) << text;
    const int everyCall = calls;
    ASSERT_GT(everyCall, 20);

    // Abort at every third hook call of a whole run. Ticks, steps and statuses honour it; a
    // few texts (the headings, the last status) do not ask. A run that stops fails as aborted
    // and leaves no half-made panorama behind; afterwards a whole stitch still succeeds.
    int tried = 0, stopped = 0;
    for (int abortAt = 1; abortAt < everyCall; abortAt += 3) {
        int seen = 0;
        auto aborting = [&](const char*) { return ++seen == abortAt; };
        engine.SetLogHook(aborting);
        engine.SetStatusHook(aborting);
        ImgRGB s, c;
        RectD r;
        const bool done = engine.StitchPanorama(s, c, r);
        ++tried;
        if (done) {
            EXPECT_TRUE(s.HasPixels()) << abortAt;
            continue;
        }
        ++stopped;
        EXPECT_EQ(engine.LastFailure(), EngineFailure::Aborted) << abortAt;
        EXPECT_FALSE(s.HasPixels()) << abortAt;
        EXPECT_FALSE(c.HasPixels()) << abortAt;
    }
    EXPECT_GE(stopped, tried * 3 / 4);
    engine.SetLogHook(nullptr);
    engine.SetStatusHook(nullptr);
    ImgRGB again, againCropped;
    ASSERT_TRUE(engine.StitchPanorama(again, againCropped, crop));
    EXPECT_EQ(again.width, stitched.width);
    EXPECT_EQ(again.height, stitched.height);
}

TEST(StitchPanorama, APhotographThatWentAwayAfterMatchingIsNamed) {
    StitchSet set;
    ASSERT_TRUE(QFile::remove(QString::fromStdString(set.views.Path(1))));
    ImgRGB stitched, cropped;
    RectD crop;
    EXPECT_FALSE(set.engine.StitchPanorama(stitched, cropped, crop));
    EXPECT_EQ(set.engine.LastFailure(), EngineFailure::UnreadableImage);
    EXPECT_NE(set.engine.LastError().find(set.views.Path(1)), std::string::npos) << set.engine.LastError();
    EXPECT_FALSE(stitched.HasPixels());
}
