// The preview stitch on rendered photographs matched by the engine, and its resampling rule.
#include <gtest/gtest.h>

#include <string>

#include "engine/PanoramaEngine.h"
#include "stitching/EmptySample.h"
#include "stitching/PreviewRenderer.h"
#include "support/EngineFixture.h"
#include "support/RenderedViews.h"

namespace {

// A matched engine over photographs rendered at the given yaws (640 x 480, f = 500).
struct MatchedSet {
    explicit MatchedSet(const std::vector<double>& yaws) : views(Specs(yaws)) {
        std::vector<std::string> paths;
        for (size_t i = 0; i < yaws.size(); ++i)
            paths.push_back(views.Path(i));
        EngineFixture::SetImagePaths(engine, paths, 640, 480);
        engine.SetGeneticSeed(5);
        engine.SetLogHook([this](const char* text) {
            log += text;
            return false;
        });
        EXPECT_TRUE(engine.FindOverlappingImages()) << log;
    }
    static std::vector<render::ViewSpec> Specs(const std::vector<double>& yaws) {
        std::vector<render::ViewSpec> specs;
        for (double yaw : yaws)
            specs.push_back(View(yaw, 0, 0, 500, 640, 480));
        return specs;
    }
    RenderedViews views;
    PanoramaEngine engine;
    std::string log;
};

}  // namespace

TEST(PreviewStitch, SizeRuleSmallPreviewsAndAbort) {
    MatchedSet row({0, 35, 70});
    PanoramaEngine& engine = row.engine;
    engine.SetProjectionType(ProjectionType::Cylindrical);
    engine.SetPanoramaPreviewImageSize(128);
    ImgRGB preview;
    ASSERT_TRUE(engine.PreviewStitch(preview)) << row.log;
    // The longer side is the preview size; the other follows the panorama's own proportions.
    const RectD& rect = engine.PanoramaRect();
    EXPECT_EQ(preview.width, 128);
    EXPECT_EQ(preview.height, static_cast<int>(rect.height + 1.5));
    EXPECT_NEAR(preview.height, 128 * rect.height / rect.width, 1.5);
    EXPECT_NE(row.log.find("Preview stitching...\n"), std::string::npos);
    EXPECT_NE(row.log.find("Rendering images ... done\n...preview stitching done\n"), std::string::npos) << row.log;

    // An abort at the first photograph: the message, the failure line, an empty result.
    row.log.clear();
    int ticks = 0;
    engine.SetLogHook([&](const char* text) {
        row.log += text;
        return std::string(text) == "." && ++ticks == 1;
    });
    EXPECT_FALSE(engine.PreviewStitch(preview));
    EXPECT_EQ(engine.LastFailure(), EngineFailure::Aborted);
    EXPECT_NE(row.log.find("\nAborted!\n...preview stitching failed\n"), std::string::npos) << row.log;
    EXPECT_FALSE(preview.HasPixels());

    // A projection code that names no surface is a failure with its reason, not another surface.
    engine.SetLogHook([&](const char* text) {
        row.log += text;
        return false;
    });
    engine.SetProjectionType(7);
    EXPECT_FALSE(engine.PreviewStitch(preview));
    EXPECT_EQ(engine.LastFailure(), EngineFailure::Failed);
    EXPECT_EQ(engine.LastError(), "Unknown projection");
    EXPECT_FALSE(preview.HasPixels());
}

TEST(PreviewStitch, APanoramaThinnerThanFiftyPixelsIsRefused) {
    MatchedSet wide({0, 35, 70, 105, 140, 175});
    PanoramaEngine& engine = wide.engine;
    engine.SetProjectionType(ProjectionType::Cylindrical);
    engine.SetPanoramaPreviewImageSize(128);  // a panorama about four times as wide as high
    ImgRGB preview;
    wide.log.clear();
    EXPECT_FALSE(engine.PreviewStitch(preview));
    EXPECT_NE(wide.log.find("... failed( Bad image size)\n...preview stitching failed\n"), std::string::npos)
        << wide.log;
    EXPECT_FALSE(preview.HasPixels());
}

TEST(PreviewStitch, ThePhotographsFirstRowAndColumnAreNeverSampled) {
    // A planar camera whose panorama is its own image: every panorama pixel maps to itself.
    ImgRGB source(20, 16);
    source.FillRect(0, 0, 19, 15, Rgb{100, 100, 100});
    for (int y = 0; y < 16; ++y)
        source.At(0, y) = Rgb{255, 255, 255};
    for (int x = 0; x < 20; ++x)
        source.At(x, 0) = Rgb{255, 255, 255};
    Camera camera;
    camera.Initialise(20, 16);
    camera.fromPanorama.Identity(3);
    CMatrix identity;
    identity.Identity(3);
    ImgRGBSHORT work(24, 20);
    work.FillRect(0, 0, 23, 19, RgbSHORT{EMPTY_SAMPLE, EMPTY_SAMPLE, EMPTY_SAMPLE});
    // Shifted by half a pixel, so that every sample mixes two columns and two rows.
    camera.fromPanorama(0, 2) = -0.5;
    camera.fromPanorama(1, 2) = -0.5;
    RenderPreviewImage(source, InverseMapper(ProjectionOf(ProjectionType::Planar), camera, identity),
                       RectD{0, 0, 23, 19}, work);
    int written = 0;
    for (int v = 0; v < 20; ++v)
        for (int u = 0; u < 24; ++u) {
            const RgbSHORT& p = work.At(u, v);
            if (p.b == EMPTY_SAMPLE)
                continue;
            ++written;
            EXPECT_EQ(p.b, 100) << u << "," << v;  // never mixed with the white border
            // Written only where 0 < trunc(x) < width - 1 and 0 < trunc(y) < height - 1.
            EXPECT_GE(u - 0.5, 1);
            EXPECT_LT(u - 0.5, 19);
            EXPECT_GE(v - 0.5, 1);
            EXPECT_LT(v - 0.5, 15);
        }
    EXPECT_EQ(written, 18 * 14);
}
