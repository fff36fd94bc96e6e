// The preview end to end through vedora-stitch, on photographs rendered with known cameras:
// every camera against the truth, and the panorama against the one the true cameras give.
#include <gtest/gtest.h>

#include <QDir>
#include <QString>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>

#include "engine/ProjectStore.h"
#include "image/ImageFile.h"
#include "render/CamerasFile.h"
#include "render/ImageCompare.h"
#include "render/TruthPanorama.h"
#include "support/RenderedViews.h"
#include "support/RunProgram.h"

namespace {

constexpr double kDeg = 180 / std::numbers::pi;

double AngleOf(const render::Mat3& m) {
    const double trace = m[0] + m[4] + m[8];
    return std::acos(std::clamp((trace - 1) / 2, -1.0, 1.0)) * kDeg;
}

struct PreviewRun {
    std::unique_ptr<RenderedViews> set;  // the photographs, kept for checks after the run
    RunResult run;
    render::CamerasFile cameras;
    ImgRGB panorama;
    std::vector<render::ViewSpec> views;
    std::vector<std::string> paths;
    std::string folder;
    double worstRelative = 0;  // degrees, over every pair of cameras
    double focalError = 0;     // relative
    double horizonTilt = 0;    // degrees between the panorama's vertical and the world's
    double psnr = 0;           // dB against the truth, over the covered pixels
    render::TruthPanorama truth;
};

// Stitches a rendered set at its native size and checks it against the truth.
void Preview(const std::vector<render::ViewSpec>& views, PreviewRun& r, std::vector<std::string> options = {}) {
    r.set = std::make_unique<RenderedViews>(views);
    const RenderedViews& set = *r.set;
    r.views = views;
    r.folder = set.Folder();
    std::vector<std::string> args = {"--preview", "-q",
                                     "-o",        r.folder + "/pano.png",
                                     "--cameras", r.folder + "/cams.json",
                                     "--project", r.folder + "/p.vdp",
                                     "--seed",    "7",
                                     "--size",    "native"};
    args.insert(args.end(), options.begin(), options.end());
    for (size_t i = 0; i < views.size(); ++i) {
        args.push_back(set.Path(i));
        r.paths.push_back(set.Path(i));
    }
    r.run = RunProgram(VEDORA_STITCH, args, r.folder);
    if (r.run.status != 0)
        return;
    r.cameras = render::ReadCamerasFile(r.folder + "/cams.json");
    ASSERT_TRUE(LoadImageFile(r.panorama, 0, QString::fromStdString(r.folder + "/pano.png")));
    ASSERT_EQ(r.cameras.images.size(), views.size());
    std::vector<render::RenderedView> truth;
    for (size_t i = 0; i < views.size(); ++i) {
        truth.push_back({set.Path(i), views[i]});
        const render::CameraEntry& a = r.cameras.images[i];
        EXPECT_TRUE(a.registered) << i;
        for (size_t j = i + 1; j < views.size(); ++j) {
            const render::CameraEntry& b = r.cameras.images[j];
            // The fitted turn from camera i to camera j against the true one.
            render::Mat3 fitted = render::Multiply(render::Transposed(b.rotation), a.rotation);
            render::Mat3 difference =
                render::Multiply(render::Transposed(render::RelativeRotation(views[i], views[j])), fitted);
            r.worstRelative = std::max(r.worstRelative, AngleOf(difference));
        }
    }
    r.focalError = std::fabs(r.cameras.focalLength / views[0].focal - 1);
    r.truth = render::RenderGroundTruthPanorama(TestWorld(), truth, r.cameras);
    const render::TruthPanorama& expected = r.truth;
    const double* M = expected.worldFromPanorama.data();
    r.horizonTilt = std::acos(std::clamp(M[4], -1.0, 1.0)) * kDeg;  // the frame's y axis against the world's
    r.psnr = render::Psnr(r.panorama, expected.image, &expected.mask).decibels;
    std::printf("worst relative rotation %.4f deg, focal %.3f %%, horizon %.3f deg, %.2f dB\n", r.worstRelative,
                100 * r.focalError, r.horizonTilt, r.psnr);
}

std::vector<render::ViewSpec> Row(int n, double firstYaw, double step, double pitch, double roll, double focal,
                                  int width = 640, int height = 480) {
    std::vector<render::ViewSpec> views;
    for (int k = 0; k < n; ++k)
        views.push_back(View(firstYaw + step * k, pitch, roll, focal, width, height));
    return views;
}

}  // namespace

TEST(PreviewCommand, RowOfFive) {
    PreviewRun r;
    Preview(Row(5, -60, 35, 5, 0, 500), r, {"--projection", "cylindrical"});
    ASSERT_EQ(r.run.status, 0) << r.run.err;
    EXPECT_LT(r.worstRelative, 0.03);
    EXPECT_LT(r.focalError, 0.003);
    EXPECT_LT(r.horizonTilt, 0.5);
    EXPECT_GE(r.psnr, 28);
}

TEST(PreviewCommand, RingOfTwelveClosesTheLoop) {
    PreviewRun r;
    Preview(Row(12, 0, 30, 0, 0, 600), r, {"--projection", "cylindrical"});
    ASSERT_EQ(r.run.status, 0) << r.run.err;
    EXPECT_LT(r.worstRelative, 0.03);
    EXPECT_LT(r.focalError, 0.003);
    EXPECT_LT(r.horizonTilt, 0.5);
    EXPECT_GE(r.psnr, 28);

    // One scene point, seen in the first and in the last photograph, lands one turn apart.
    PanoramaEngine engine;
    Zelvo::XmlDocument doc;
    ProjectStore store(engine, doc);
    ASSERT_TRUE(store.Load(r.folder + "/p.vdp")) << store.LastError();
    ASSERT_NE(engine.TransitionTree(), nullptr);
    engine.SetProjectionType(ProjectionType::Cylindrical);
    ASSERT_TRUE(engine.InitStitchGeometry(2000));
    const CMatrix& T = engine.PanoramaTransform();
    const double turn = 2 * std::numbers::pi * std::hypot(T(0, 0), T(1, 0));
    auto cameraOf = [&](int image) {
        for (const Camera& c : engine.CameraList())
            if (c.image == image)
                return c;
        return Camera();
    };
    // The pair that closes the circle joins the panorama's two ends: its root and first child
    // lie one turn apart in the layout, so a scene point they share is drawn twice, one turn
    // apart; block 2 of the camera fit is what holds that distance.
    const HierarchyNode* root = engine.TransitionTree();
    ASSERT_NE(root->firstChild, nullptr);
    const int R = root->image, C = root->firstChild->image;
    double worst = 0;
    int shared = 0;
    for (double x : {40.0, 600.0})
        for (double y : {120.0, 240.0, 360.0}) {
            double xr, yr;
            if (!render::MapBetweenViews(r.views[C], r.views[R], x, y, &xr, &yr) || xr < 0 || xr >= 640)
                continue;  // not seen by both photographs
            ++shared;
            PointD child = engine.ForwardMap(int(ProjectionType::Cylindrical), cameraOf(C), x, y);
            PointD parent = engine.ForwardMap(int(ProjectionType::Cylindrical), cameraOf(R), xr, yr);
            worst = std::max(worst, std::fabs(std::fabs(child.x - parent.x) - turn));
            EXPECT_NEAR(child.y, parent.y, 1);
        }
    EXPECT_EQ(shared, 3);
    EXPECT_LT(worst, 1) << "one turn is " << turn << " px";
}

TEST(PreviewCommand, GridOfTwoRows) {
    std::vector<render::ViewSpec> views = Row(4, 0, 35, 15, 0, 500);
    for (const render::ViewSpec& v : Row(4, 0, 35, -15, 0, 500))
        views.push_back(v);
    PreviewRun r;
    Preview(views, r, {"--projection", "spherical"});
    ASSERT_EQ(r.run.status, 0) << r.run.err;
    EXPECT_LT(r.worstRelative, 0.03);
    EXPECT_LT(r.focalError, 0.003);
    EXPECT_LT(r.horizonTilt, 0.5);
    EXPECT_GE(r.psnr, 28);
}

TEST(PreviewCommand, TiltedRowWithRoll) {
    PreviewRun r;
    Preview(Row(6, 0, 30, 25, 4, 500), r, {"--projection", "spherical"});
    ASSERT_EQ(r.run.status, 0) << r.run.err;
    EXPECT_LT(r.worstRelative, 0.03);
    EXPECT_LT(r.focalError, 0.003);
    EXPECT_GE(r.psnr, 28);
}

TEST(PreviewCommand, FullSphereWithZenithAndNadirClosesAndReachesThePoles) {
    // Three rows of eight, 45 degrees apart, and one photograph straight up and one straight
    // down: the rows' pair centroids no longer add up to a turn, and the poles' photographs see
    // every longitude.
    std::vector<render::ViewSpec> views;
    for (double pitch : {-45.0, 0.0, 45.0})
        for (const render::ViewSpec& v : Row(8, 0, 45, pitch, 0, 300, 480, 480))
            views.push_back(v);
    views.push_back(View(0, 90, 0, 300, 480, 480));
    views.push_back(View(0, -90, 0, 300, 480, 480));
    PreviewRun r;
    Preview(views, r, {"--projection", "spherical"});
    ASSERT_EQ(r.run.status, 0) << r.run.err;
    EXPECT_LT(r.worstRelative, 0.03);
    EXPECT_LT(r.focalError, 0.003);
    EXPECT_LT(r.horizonTilt, 0.5);
    // Within 20 degrees of a pole the world's map holds more detail than a photograph of it can
    // (its rows shrink to a point there): the poles are checked for coverage below, not against
    // the map. The uncropped turn's ragged ends are left out too: the truth sees every direction
    // there, the panorama draws each photograph once round.
    ImgUCHAR awayFromPoles(r.panorama.width, r.panorama.height);
    const int cap = r.panorama.height * 20 / 180;
    for (int y = 0; y < r.panorama.height; ++y)
        for (int x = 0; x < r.panorama.width; ++x) {
            const Rgb& p = r.panorama.At(x, y);
            const bool compared = y >= cap && y < r.panorama.height - cap && p.r + p.g + p.b > 0;
            awayFromPoles.At(x, y) = compared ? r.truth.mask.At(x, y) : 0;
        }
    EXPECT_GE(render::Psnr(r.panorama, r.truth.image, &awayFromPoles).decibels, 28);

    PanoramaEngine engine;
    Zelvo::XmlDocument doc;
    ProjectStore store(engine, doc);
    ASSERT_TRUE(store.Load(r.folder + "/p.vdp")) << store.LastError();
    EXPECT_NE(engine.TransitionTree(), nullptr) << "the rows close a turn";
    // The saved panorama is cut to one turn: the turn's width is the panorama's 2 pi radians
    // of longitude, also where the transition's photograph sees a pole.
    ASSERT_TRUE(engine.InitStitchGeometry(engine.GetPanoramaImageSize()));
    const double turn = 2 * std::numbers::pi * r.cameras.transform[0];
    EXPECT_NEAR(engine.Width360(), turn, 2) << "a turn of " << turn << " px";
    // The top and the bottom rows of the panorama are the poles: drawn across the whole width.
    auto covered = [&](int y) {
        int lit = 0;
        for (int x = 0; x < r.panorama.width; ++x) {
            const Rgb& p = r.panorama.At(x, y);
            lit += p.r + p.g + p.b > 0;
        }
        return double(lit) / r.panorama.width;
    };
    EXPECT_GT(covered(1), 0.99);
    EXPECT_GT(covered(r.panorama.height - 2), 0.99);
    EXPECT_NEAR(double(r.panorama.height) / r.panorama.width, 0.5, 0.15) << "about a full sphere";
}

TEST(PreviewCommand, PairWithLittleOverlapAndAWideLens) {
    // Narrow overlaps and strongly distorted ones leave few points at 640 x 480; these two sets
    // are photographed at 1280 x 960.
    PreviewRun pair;  // 15 % of each photograph overlaps
    Preview({View(0, 0, 0, 1000, 1280, 960), View(55, 0, 0, 1000, 1280, 960)}, pair, {"--projection", "planar"});
    ASSERT_EQ(pair.run.status, 0) << pair.run.err;
    EXPECT_LT(pair.worstRelative, 0.03);
    EXPECT_LT(pair.focalError, 0.003);
    EXPECT_GE(pair.psnr, 28);

    PreviewRun wide;  // 90 degrees across each photograph
    Preview(Row(4, 0, 60, 0, 0, 640, 1280, 960), wide, {"--projection", "cylindrical"});
    ASSERT_EQ(wide.run.status, 0) << wide.run.err;
    EXPECT_LT(wide.worstRelative, 0.03);
    EXPECT_LT(wide.focalError, 0.003);
    EXPECT_LT(wide.horizonTilt, 0.5);
    EXPECT_GE(wide.psnr, 28);
}

TEST(PreviewCommand, OutputsAreWholeOrNothing) {
    RenderedViews set({View(0, 0, 0, 500, 320, 240), View(25, 0, 0, 500, 320, 240)});
    const std::string dir = set.Folder();
    const std::string a = set.Path(0), b = set.Path(1);
    // No writer for GIF: refused before any matching.
    RunResult gif = RunProgram(VEDORA_STITCH, {"--preview", "-o", dir + "/p.gif", a, b}, dir);
    EXPECT_EQ(gif.status, 2);
    EXPECT_NE(gif.err.find("no writer"), std::string::npos) << gif.err;
    EXPECT_EQ(gif.err.find("Extracting"), std::string::npos);
    // A photograph cannot be the panorama.
    RunResult over = RunProgram(VEDORA_STITCH, {"--preview", "-o", a, a, b}, dir);
    EXPECT_EQ(over.status, 2);
    EXPECT_NE(over.err.find("would overwrite the input"), std::string::npos) << over.err;
    // Photographs that do not overlap: exit 1, no panorama, an old one untouched.
    RenderedViews apart({View(0, 0, 0, 500, 320, 240), View(180, 0, 0, 500, 320, 240)});
    Zelvo::Chars("old panorama").WriteFile((dir + "/old.jpg").c_str());
    RunResult none =
        RunProgram(VEDORA_STITCH, {"--preview", "-q", "-o", dir + "/old.jpg", apart.Path(0), apart.Path(1)}, dir);
    EXPECT_EQ(none.status, 1) << none.err;
    EXPECT_EQ(ReadAll(dir + "/old.jpg"), "old panorama");
    // A good run replaces the old file whole and leaves no partial file behind.
    RunResult good =
        RunProgram(VEDORA_STITCH, {"--preview", "-q", "--size", "1024", "-o", dir + "/old.jpg", a, b}, dir);
    EXPECT_EQ(good.status, 0) << good.err;
    ImgRGB written;
    EXPECT_TRUE(LoadImageFile(written, 0, QString::fromStdString(dir + "/old.jpg")));
    EXPECT_EQ(written.width, 1024);
    EXPECT_EQ(QDir(QString::fromStdString(dir)).entryList({"*partial*"}, QDir::Hidden | QDir::Files).size(), 0);
}
