// vedora-render as a program: rendering a set, its ground-truth panorama and PSNR.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <QFile>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "image/ImageFile.h"
#include "render/ImageCompare.h"
#include "render/JsonAccess.h"
#include "render/TruthPanorama.h"
#include "support/RenderedViews.h"
#include "support/RunProgram.h"

namespace {

RunResult Render(const std::vector<std::string>& args, const std::string& folder) {
    return RunProgram(VEDORA_RENDER, args, folder);
}

std::string FlatMatrixJson(const render::Mat3& m) {
    std::string s = "[";
    for (int k = 0; k < 9; ++k) {
        char number[32];
        std::snprintf(number, sizeof number, "%.17g", m[k]);
        s += number + std::string(k < 8 ? ", " : "]");
    }
    return s;
}

// A cameras file with view 1's camera as the panorama frame, cylindrical, 2 px per degree.
std::string CamerasFor(const render::GroundTruth& truth) {
    render::Mat3 reference = render::WorldFromCamera(truth.views[0].spec);
    std::string s = "{\"projection\": \"cylindrical\", \"panorama\": {\"width\": 260, \"height\": 160, "
                    "\"transform\": [[114.59, 0, 90], [0, 114.59, 80], [0, 0, 1]]}, "
                    "\"crop\": {\"left\": 20, \"top\": 30, \"width\": 200, \"height\": 100}, \"images\": [";
    for (size_t i = 0; i < truth.views.size(); ++i) {
        render::Mat3 r = render::Multiply(render::Transposed(reference), render::WorldFromCamera(truth.views[i].spec));
        s += std::string(i ? ", " : "") + "{\"path\": \"" + truth.views[i].file +
             "\", \"width\": 240, \"height\": 180, " + "\"rotation\": " + FlatMatrixJson(r) + "}";
    }
    return s + "]}";
}

}  // namespace

TEST(RenderCommand, TruthPanoramaAndPsnrFromTheCommandLine) {
    QTemporaryDir tmp;
    const std::string dir = tmp.path().toStdString(), set = dir + "/set";
    const std::string world = std::string(VEDORA_TEST_DATA) + "/world.jpg";
    RunResult r = Render({"--world", world, "--out", set, "--focal", "200", "--size", "240x180", "--view", "-20,0,0",
                          "--view", "20,2,0,1.1,-5,0"},
                         dir);
    ASSERT_EQ(r.status, 0) << r.err;
    render::GroundTruth truth = render::ReadGroundTruth(set + "/truth.json");
    ASSERT_EQ(truth.views.size(), 2u);
    EXPECT_EQ(truth.views[1].file, "view02.jpg");
    EXPECT_DOUBLE_EQ(truth.views[1].spec.gain, 1.1);
    EXPECT_EQ(truth.world.front(), '/');  // absolute, usable from anywhere

    std::ofstream(dir + "/cameras.json") << CamerasFor(truth);
    r = Render({"--truth-panorama", dir + "/cameras.json", "--views", set + "/truth.json", "--out", dir + "/pano.png",
                "--mask", dir + "/mask.png", "--crop"},
               dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("200x100, 2 registered images"), std::string::npos) << r.out;
    ImgRGB pano, maskImage;
    ASSERT_TRUE(LoadImageFile(pano, 0, QString::fromStdString(dir + "/pano.png")));
    ASSERT_TRUE(LoadImageFile(maskImage, 0, QString::fromStdString(dir + "/mask.png")));
    // The program writes what the library renders, pixel for pixel (PNG is lossless).
    render::TruthPanorama expected = render::RenderGroundTruthPanorama(
        TestWorld(), truth.views, render::ParseCamerasFile(CamerasFor(truth)), {.crop = true});
    EXPECT_TRUE(std::isinf(render::Psnr(pano, expected.image).decibels));
    EXPECT_TRUE(std::isinf(render::Psnr(render::ImageFromMask(expected.mask), maskImage).decibels));

    r = Render({"--psnr", dir + "/pano.png", dir + "/pano.png"}, dir);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("inf dB", 0), 0u) << r.out;
    // Against the photograph's own corner: a finite number over the masked pixels.
    r = Render({"--truth-panorama", dir + "/cameras.json", "--views", set + "/truth.json", "--out", dir + "/other.png",
                "--margin", "20", "--crop"},
               dir);
    ASSERT_EQ(r.status, 0) << r.err;
    r = Render({"--psnr", dir + "/pano.png", dir + "/other.png", "--mask", dir + "/mask.png"}, dir);
    EXPECT_EQ(r.status, 0) << r.err;
    double db = 0;
    ASSERT_EQ(std::sscanf(r.out.c_str(), "%lf dB", &db), 1) << r.out;
    EXPECT_GT(db, 3);
    EXPECT_LT(db, 40);

    // A relative world path is found beside the truth file.
    ASSERT_TRUE(QFile::copy(QString::fromStdString(world), QString::fromStdString(set + "/w.jpg")));
    std::string text = ReadAll(set + "/truth.json");
    text.replace(text.find(truth.world), truth.world.size(), "w.jpg");
    std::ofstream(set + "/truth.json") << text;
    r = Render({"--truth-panorama", dir + "/cameras.json", "--views", set + "/truth.json", "--out", dir + "/rel.png"},
               dir);
    EXPECT_EQ(r.status, 0) << r.err;
}

TEST(RenderCommand, ErrorsAreReportedWithStatus2) {
    QTemporaryDir tmp;
    const std::string dir = tmp.path().toStdString();
    std::ofstream(dir + "/cameras.json") << "{\"projection\": \"cylindrical\",\n \"panorama\": 3}";
    std::ofstream(dir + "/truth.json") << "{\"world\": \"w.jpg\", \"views\": []}";
    RunResult r = Render(
        {"--truth-panorama", dir + "/cameras.json", "--views", dir + "/truth.json", "--out", dir + "/p.png"}, dir);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "vedora-render: " + dir + "/cameras.json: panorama: expected an object, found a number\n");
    r = Render({"--truth-panorama", dir + "/cameras.json", "--out", dir + "/p.png"}, dir);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--truth-panorama needs --views and --out"), std::string::npos);
    r = Render({"--psnr", dir + "/missing.png", dir + "/missing.png"}, dir);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("cannot read " + dir + "/missing.png"), std::string::npos);
    r = Render({"--margin", "-1"}, dir);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("bad --margin"), std::string::npos);
}
