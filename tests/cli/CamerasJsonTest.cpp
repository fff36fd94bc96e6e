// The cameras file of vedora-stitch, read back by the ground-truth tools: every number the fit
// found comes back exactly, in the members and the channel order the file promises.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "cli/CamerasJson.h"
#include "engine/PanoramaEngine.h"
#include "render/CamerasFile.h"
#include "stitching/Rotations.h"
#include "support/EngineFixture.h"
#include "support/RenderedViews.h"

namespace {

// Photographs rendered at the given yaws (320 x 240, f = 250), each with its own exposure and
// white balance, matched and fitted by the engine the way vedora-stitch does before drawing.
struct FittedRow {
    FittedRow(const std::vector<double>& yaws, ProjectionType projection) : views(Specs(yaws)) {
        std::vector<std::string> paths;
        for (size_t i = 0; i < yaws.size(); ++i)
            paths.push_back(views.Path(i));
        EngineFixture::SetImagePaths(engine, paths, 320, 240);
        engine.SetGeneticSeed(3);
        engine.SetLogHook([this](const char* text) {
            log += text;
            return false;
        });
        engine.SetProjectionType(projection);
        engine.SetPhotometricCorrectionType(kPhotometricColor);
        fitted = engine.FindOverlappingImages() && engine.InitStitchGeometry(600);
    }
    static std::vector<render::ViewSpec> Specs(const std::vector<double>& yaws) {
        std::vector<render::ViewSpec> specs;
        for (size_t i = 0; i < yaws.size(); ++i) {
            render::ViewSpec v = View(yaws[i], 0, 0, 250, 320, 240);
            v.gain = 0.8 + 0.2 * static_cast<double>(i);
            v.whiteBalance[0] = 1 + 0.1 * static_cast<double>(i);  // red
            v.whiteBalance[2] = 1 - 0.1 * static_cast<double>(i);  // blue
            specs.push_back(v);
        }
        return specs;
    }
    RenderedViews views;
    PanoramaEngine engine;
    std::string log;
    bool fitted = false;
};

render::Mat3 AsMat3(const CMatrix& m) {
    render::Mat3 out{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            out[static_cast<size_t>(i * 3 + j)] = m(i, j);
    return out;
}

const Camera* FittedCamera(const PanoramaEngine& engine, int image) {
    for (const Camera& camera : engine.CameraList())
        if (camera.image == image)
            return &camera;
    return nullptr;
}

void ExpectSameCamera(const Camera& camera, const render::CameraEntry& entry) {
    EXPECT_TRUE(entry.registered);
    EXPECT_EQ(entry.rotation, AsMat3(camera.rotation));
    EXPECT_TRUE(entry.hasPhotometry);
    // The engine keeps blue, green, red; the file red, green, blue.
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(entry.gain[k], camera.gains[2 - k]) << k;
        EXPECT_EQ(entry.offset[k], camera.offsets[2 - k]) << k;
    }
}

double YawOfImage(const QJsonObject& root, int image) {
    return root["images"].toArray()[image].toObject()["yaw_deg"].toDouble(std::nan(""));
}

}  // namespace

TEST(CamerasJson, EveryFittedNumberReadsBackExactly) {
    // Two photographs of a row and one looking the other way, which is left out.
    FittedRow row({0, 30, 180}, ProjectionType::Cylindrical);
    ASSERT_TRUE(row.fitted) << row.log;
    ASSERT_TRUE(row.engine.FitPhotometricCorrection()) << row.log;
    const std::vector<Camera>& cameras = row.engine.CameraList();
    ASSERT_EQ(cameras.size(), 2u);
    // The white balance differs between the photographs, so a swap of red and blue would show.
    ASSERT_NE(cameras[1].gains[0], cameras[1].gains[2]);
    const std::string oddPath = row.views.Folder() + "/a \"quoted\" \\ name \xC3\xA9.jpg";
    EngineFixture::Image(row.engine, 1).path = oddPath.c_str();

    CamerasJsonExtras extras{
        .panoramaWidth = 0, .panoramaHeight = 0, .crop = RectD{3, 4, 500, 200}, .photometry = true};
    const std::string text = CamerasJson(row.engine, 640, 250, extras);
    const render::CamerasFile file = render::ParseCamerasFile(text);

    EXPECT_EQ(file.projection, render::ProjectionKind::Cylindrical);
    EXPECT_EQ(file.focalLength, cameras[0].focalLength);
    EXPECT_EQ(file.panoramaWidth, 640);
    EXPECT_EQ(file.panoramaHeight, 250);
    EXPECT_EQ(file.transform, AsMat3(row.engine.PanoramaTransform()));
    ASSERT_TRUE(file.crop.has_value());
    EXPECT_EQ(file.crop->left, 3);
    EXPECT_EQ(file.crop->top, 4);
    EXPECT_EQ(file.crop->width, 500);
    EXPECT_EQ(file.crop->height, 200);
    EXPECT_EQ(file.vignetting, (std::vector<double>(cameras[0].vignetting, cameras[0].vignetting + 3)));
    ASSERT_EQ(file.images.size(), 3u);
    EXPECT_EQ(file.images[0].path, row.views.Path(0));
    EXPECT_EQ(file.images[1].path, oddPath);
    EXPECT_EQ(file.images[0].width, 320);
    EXPECT_EQ(file.images[0].height, 240);
    for (int image = 0; image < 2; ++image) {
        const Camera* camera = FittedCamera(row.engine, image);
        ASSERT_NE(camera, nullptr) << image;
        ExpectSameCamera(*camera, file.images[static_cast<size_t>(image)]);
    }
    EXPECT_FALSE(file.images[2].registered);
    EXPECT_FALSE(file.images[2].hasPhotometry);
    // The informational angles: the second camera looks 30 degrees right of the first.
    const QJsonObject root = QJsonDocument::fromJson(QByteArray::fromStdString(text)).object();
    EXPECT_NEAR(YawOfImage(root, 1) - YawOfImage(root, 0), 30, 1);
}

TEST(CamerasJson, APlanarFileCarriesItsFrameAndLeavesOutWhatWasNotAskedFor) {
    FittedRow row({0, 30}, ProjectionType::Planar);
    ASSERT_TRUE(row.fitted) << row.log;
    const std::vector<Camera>& cameras = row.engine.CameraList();
    ASSERT_EQ(cameras.size(), 2u);
    const render::CamerasFile file = render::ParseCamerasFile(CamerasJson(row.engine, 700, 300));

    EXPECT_EQ(file.projection, render::ProjectionKind::Planar);
    EXPECT_EQ(file.planarK, AsMat3(cameras[0].K));
    // The frame is centred between the cameras' longitudes and tilted by the vertical rotation.
    const auto [low, high] = std::minmax(cameras[0].lonOffset, cameras[1].lonOffset);
    const CMatrix R = Rx(row.engine.GetVerticalCameraRotation()) * Ry(-(low + high) / 2);
    EXPECT_EQ(file.planarR, AsMat3(R));
    EXPECT_FALSE(file.crop.has_value());
    EXPECT_TRUE(file.vignetting.empty());
    ASSERT_EQ(file.images.size(), 2u);
    for (const render::CameraEntry& entry : file.images) {
        EXPECT_TRUE(entry.registered);
        EXPECT_FALSE(entry.hasPhotometry);
    }
}
