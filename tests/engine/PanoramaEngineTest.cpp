#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/PanoramaEngine.h"
#include "support/EngineFixture.h"
#include "support/RenderedViews.h"
#include "xml/XmlDocument.h"

using namespace Zelvo;

namespace {

void AddImages(PanoramaEngine& engine, int n) { EngineFixture::SetImages(engine, n, 400, 300); }

void ListImages(XmlDocument& doc, const std::vector<int>& which) {
    doc.Reset("VedoraProject");
    XmlElement* images = doc.Root()->FindChild("Panorama", true)->FindChild("Images", true);
    for (int i : which) {
        auto* e = new XmlElement("Image");
        e->Attribute("path", Chars::Format("img%d.jpg", i).c_str(), true);
        e->Attribute("w", true)->SetInt(400);
        e->Attribute("h", true)->SetInt(300);
        images->AppendChild(e);
    }
}

}  // namespace

TEST(PanoramaEngine, CombinationIndexing) {
    PanoramaEngine engine;
    AddImages(engine, 4);
    EXPECT_EQ(engine.Combinations().size(), 6u);
    EXPECT_EQ(engine.CombinationIndex(2, 1), 3);
    EXPECT_EQ(engine.CombinationIndex(1, 2), 3);
    EXPECT_EQ(engine.CombinationIndex(2, 3), 5);
    EXPECT_EQ(engine.CombinationIndex(0, 1), 0);
    EXPECT_EQ(engine.CombinationIndex(3, 3), -1);
    EXPECT_EQ(engine.CombinationIndex(-1, 2), -1);
    for (size_t k = 0; k < engine.Combinations().size(); ++k) {
        const ImageCombination& c = engine.Combinations()[k];
        EXPECT_LT(c.first, c.second);
        EXPECT_EQ(engine.CombinationIndex(c.first, c.second), static_cast<int>(k));
        EXPECT_EQ(c.forward(0, 0), 1);
        EXPECT_EQ(c.forward(0, 1), 0);
    }
    AddImages(engine, 1);
    EXPECT_TRUE(engine.Combinations().empty());
    EXPECT_EQ(engine.FindImage("img0.jpg"), 0);
    EXPECT_EQ(engine.FindImage("IMG0.jpg"), -1);
}

TEST(PanoramaEngine, ParametersDirtyFlagAndReset) {
    PanoramaEngine engine;
    EXPECT_EQ(engine.GetProjectionType(), int(ProjectionType::Spherical));
    EXPECT_EQ(engine.GetPhotometricCorrectionType(), kPhotometricGray);
    EXPECT_EQ(engine.GetFeatureExtractionImageSize(), 600);
    EXPECT_EQ(engine.GetFeatureExtractionMaxNofPoints(), 1000);
    EXPECT_EQ(engine.GetPanoramaImageSize(), 1024);
    EXPECT_TRUE(engine.GetDoCrop360Degrees());
    EXPECT_FALSE(engine.GetDoGammaCorrection());
    EXPECT_EQ(engine.GetBlendWidth(), 30);
    engine.SetDirty(false);
    engine.SetFeatureExtractionImageSize(600);
    engine.SetGamma(1.0);
    engine.SetReferenceImagePath("");
    EXPECT_FALSE(engine.IsDirty());
    engine.SetGamma(1.5);
    EXPECT_TRUE(engine.IsDirty());
    engine.SetDirty(false);
    engine.SetProjectionType(ProjectionType::Planar);
    engine.SetPhotometricCorrectionType(kPhotometricNone);
    AddImages(engine, 3);
    engine.Reset();
    EXPECT_TRUE(engine.IsDirty());
    EXPECT_EQ(engine.GetProjectionType(), int(ProjectionType::Spherical));
    EXPECT_EQ(engine.GetPhotometricCorrectionType(), kPhotometricGray);
    EXPECT_EQ(engine.ImageCount(), 0);
    EXPECT_TRUE(engine.Combinations().empty());
}

TEST(PanoramaEngine, SyncImagesKeepsSurvivingPairs) {
    PanoramaEngine engine;
    XmlDocument doc;
    ListImages(doc, {0, 1, 2});
    engine.SyncImages(doc);
    ASSERT_EQ(engine.ImageCount(), 3);
    ImageCombination& pair02 = EngineFixture::Pair(engine, 0, 2);
    pair02.matched = true;
    pair02.P = {{10, 20}};
    pair02.Q = {{30, 40}};
    pair02.f = 1234;
    EngineFixture::Pair(engine, 0, 1).P = {{1, 1}};
    engine.SetDirty(false);
    engine.SyncImages(doc);  // same list: nothing changes
    EXPECT_FALSE(engine.IsDirty());

    ListImages(doc, {0, 2});  // image 1 removed
    engine.SyncImages(doc);
    EXPECT_TRUE(engine.IsDirty());
    ASSERT_EQ(engine.Combinations().size(), 1u);
    const ImageCombination& kept = engine.Combinations()[0];
    EXPECT_TRUE(kept.matched);
    EXPECT_EQ(kept.first, 0);
    EXPECT_EQ(kept.second, 1);
    ASSERT_EQ(kept.P.size(), 1u);
    EXPECT_EQ(kept.P[0].x, 10);
    EXPECT_EQ(kept.Q[0].y, 40);
    EXPECT_EQ(kept.f, 1234);

    engine.SetReferenceImagePath("img2.jpg");
    ListImages(doc, {2});
    engine.SyncImages(doc);
    EXPECT_TRUE(engine.GetReferenceImagePath() == "img2.jpg");
    ListImages(doc, {0});
    engine.SyncImages(doc);
    EXPECT_TRUE(engine.GetReferenceImagePath() == "");

    doc.Root()
        ->FindDescendant("Image", false)
        ->RemoveAttribute(doc.Root()->FindDescendant("Image", false)->Attribute("w", false));
    try {
        engine.SyncImages(doc);
        FAIL();
    } catch (const char* message) {
        EXPECT_STREQ(message, "Missing image attribute");
    }
    ListImages(doc, {});
    engine.SyncImages(doc);
    EXPECT_EQ(engine.ImageCount(), 0);
}

TEST(PanoramaEngine, RotateSourceImagesTurnsStoredPoints) {
    auto rotated = [](int from, int to, PointD p) {
        PanoramaEngine engine;
        EngineFixture::SetImages(engine, {ImageRecord{"a", 400, 300, {}, {}}, ImageRecord{"b", 400, 300, {}, {}}});
        engine.RotateSourceImages(from);
        EngineFixture::PairAt(engine, 0).P = {p};
        EngineFixture::PairAt(engine, 0).Q = {p};
        engine.SetDirty(false);
        engine.RotateSourceImages(to);
        EXPECT_EQ(engine.GetSourceImageRotation(), to);
        EXPECT_EQ(engine.IsDirty(), from != to);
        return engine.Combinations()[0].P[0];
    };
    PointD p{10, 20};
    PointD r90 = rotated(0, 1, p);
    EXPECT_EQ(r90.x, 300 - 20);
    EXPECT_EQ(r90.y, 10);
    PointD r180 = rotated(0, 2, p);
    EXPECT_EQ(r180.x, 390);
    EXPECT_EQ(r180.y, 280);
    PointD r270 = rotated(0, 3, p);
    EXPECT_EQ(r270.x, 20);
    EXPECT_EQ(r270.y, 390);
    PointD half = rotated(1, 3, p);  // 90 -> 270 is a half turn with the sizes held
    EXPECT_EQ(half.x, 390);
    EXPECT_EQ(half.y, 280);
    PointD back = rotated(3, 0, p);  // 270 -> 0 is a quarter turn clockwise
    EXPECT_EQ(back.x, 280);
    EXPECT_EQ(back.y, 10);
    PointD same = rotated(2, 2, p);
    EXPECT_EQ(same.x, 10);
}

// Every way the stitch geometry can fail leaves its kind and reason behind, so that the window
// and the command line report what happened instead of guessing.
TEST(PanoramaEngine, TheStitchGeometryRecordsWhyItFailed) {
    PanoramaEngine engine;
    EXPECT_FALSE(engine.InitStitchGeometry(1024));
    EXPECT_EQ(engine.LastFailure(), EngineFailure::NoImages);
    EXPECT_EQ(engine.LastError(), "no photographs to stitch");

    AddImages(engine, 3);
    EXPECT_FALSE(engine.InitStitchGeometry(1024));
    EXPECT_EQ(engine.LastFailure(), EngineFailure::NoOverlap);
    EXPECT_FALSE(engine.FitCameras());
    EXPECT_EQ(engine.LastFailure(), EngineFailure::NoOverlap);
    EXPECT_EQ(engine.LastError(), "no pair of photographs overlaps");

    // The preview runs the same geometry: its failure keeps the precise kind.
    ImgRGB preview;
    EXPECT_FALSE(engine.PreviewStitch(preview));
    EXPECT_EQ(engine.LastFailure(), EngineFailure::NoOverlap);
}

// A photograph that overlaps none of the others is named, once, at the end of the stitch.
TEST(PanoramaEngine, ThePhotographsLeftOutOfThePanoramaAreNamedAtTheEndOfTheStitch) {
    RenderedViews set({View(0, 0, 0, 500, 320, 240), View(180, 0, 0, 500, 320, 240), View(25, 0, 0, 500, 320, 240)});
    PanoramaEngine engine;
    EngineFixture::SetImagePaths(engine, {set.Path(0), set.Path(1), set.Path(2)}, 320, 240);
    engine.SetGeneticSeed(5);
    EXPECT_TRUE(engine.PhotographsLeftOut().empty());  // nothing matched yet: no panorama to leave out of
    engine.FindOverlappingImages();
    ASSERT_NE(engine.MainTree(), nullptr);
    EXPECT_EQ(engine.PhotographsLeftOut(), std::vector<int>{1});
    std::string log;
    engine.SetLogHook([&](const char* t) {
        log += t;
        return false;
    });
    engine.SetPanoramaImageSize(300);
    ASSERT_TRUE(engine.StitchPanorama());
    const std::string line =
        "Left out of the panorama, it overlaps none of the other photographs: " + set.Path(1) + "\n";
    const size_t at = log.find(line);
    ASSERT_NE(at, std::string::npos) << log;
    EXPECT_EQ(log.find(line, at + 1), std::string::npos);
    EXPECT_GT(at, log.find("...stitching done"));
    EXPECT_EQ(log.find(set.Path(0)), std::string::npos);
}
