#include "cli/CamerasJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "stitching/Rotations.h"

namespace {

constexpr double kDegree = 180 / std::numbers::pi;

// JSON has no infinity or NaN (Qt would write null, which no reader takes for a number): a
// value the fit left undefined is written as 0. Qt writes every finite double with the
// shortest digits that read back to the same double.
QJsonValue FiniteNumber(double v) { return std::isfinite(v) ? v : 0.0; }

QJsonArray Matrix(const CMatrix& m) {
    QJsonArray rows;
    for (int i = 0; i < 3; ++i)
        rows.append(QJsonArray{FiniteNumber(m(i, 0)), FiniteNumber(m(i, 1)), FiniteNumber(m(i, 2))});
    return rows;
}

// The cameras keep colour channels in the images' order (blue, green, red); the file names
// them red, green, blue.
QJsonArray RedGreenBlue(const double v[3]) { return {FiniteNumber(v[2]), FiniteNumber(v[1]), FiniteNumber(v[0])}; }

QJsonArray Coefficients(const double v[3]) { return {FiniteNumber(v[0]), FiniteNumber(v[1]), FiniteNumber(v[2])}; }

// Where a camera looks (its optical axis) and how it is turned about it, in the panorama
// frame: yaw to the right, pitch up, roll clockwise as seen from behind the camera.
void Angles(const CMatrix& R, double* yaw, double* pitch, double* roll) {
    const double ax = R(0, 2), ay = R(1, 2), az = R(2, 2);
    *yaw = std::atan2(ax, az) * kDegree;
    *pitch = -std::asin(std::clamp(ay, -1.0, 1.0)) * kDegree;
    // The camera's "down" axis against the one a level camera looking the same way would have.
    const double ux = R(0, 1), uy = R(1, 1), uz = R(2, 1);
    const double horizontal = std::hypot(ax, az);
    const double levelX = -ay * ax / horizontal, levelY = horizontal, levelZ = -ay * az / horizontal;
    const double side[3] = {az / horizontal, 0, -ax / horizontal};  // level camera's x axis
    *roll =
        std::atan2(-(ux * side[0] + uy * side[1] + uz * side[2]), ux * levelX + uy * levelY + uz * levelZ) * kDegree;
}

const Camera* CameraOf(const PanoramaEngine& engine, int image) {
    for (const Camera& camera : engine.CameraList())
        if (camera.image == image)
            return &camera;
    return nullptr;
}

QJsonObject PlanarFrame(const PanoramaEngine& engine) {
    const std::vector<Camera>& cameras = engine.CameraList();
    double low = std::numeric_limits<double>::infinity(), high = -low;
    for (const Camera& camera : cameras) {
        low = std::min(low, camera.lonOffset);
        high = std::max(high, camera.lonOffset);
    }
    const CMatrix R = Rx(engine.GetVerticalCameraRotation()) * Ry(-(low + high) / 2);
    return {{"K", Matrix(cameras[0].K)}, {"R", Matrix(R)}};
}

QJsonObject PanoramaJson(const PanoramaEngine& engine, int panoramaWidth, int panoramaHeight) {
    return {{"width", panoramaWidth}, {"height", panoramaHeight}, {"transform", Matrix(engine.PanoramaTransform())}};
}

QJsonObject CropJson(const RectD& crop) {
    return {{"left", FiniteNumber(crop.left)},
            {"top", FiniteNumber(crop.top)},
            {"width", FiniteNumber(crop.width)},
            {"height", FiniteNumber(crop.height)}};
}

void AddCamera(const Camera& camera, bool photometry, QJsonObject& image) {
    double yaw, pitch, roll;
    Angles(camera.rotation, &yaw, &pitch, &roll);
    image["registered"] = true;
    image["rotation"] = Matrix(camera.rotation);
    image["yaw_deg"] = FiniteNumber(yaw);
    image["pitch_deg"] = FiniteNumber(pitch);
    image["roll_deg"] = FiniteNumber(roll);
    if (photometry) {
        image["gain"] = RedGreenBlue(camera.gains);
        image["offset"] = RedGreenBlue(camera.offsets);
    }
}

QJsonObject ImageJson(const PanoramaEngine& engine, int index, bool photometry) {
    const ImageRecord& record = engine.Image(index);
    QJsonObject image{{"path", QString::fromStdString(record.path.c_str())},
                      {"width", FiniteNumber(record.width)},
                      {"height", FiniteNumber(record.height)}};
    if (const Camera* camera = CameraOf(engine, index))
        AddCamera(*camera, photometry, image);
    else
        image["registered"] = false;
    return image;
}

QJsonArray ImagesJson(const PanoramaEngine& engine, bool photometry) {
    QJsonArray images;
    for (int i = 0; i < engine.ImageCount(); ++i)
        images.append(ImageJson(engine, i, photometry));
    return images;
}

}  // namespace

std::string CamerasJson(const PanoramaEngine& engine, int panoramaWidth, int panoramaHeight,
                        const CamerasJsonExtras& extras) {
    const std::vector<Camera>& cameras = engine.CameraList();
    const Projection& projection = engine.GetProjection();
    QJsonObject root{{"projection", projection.Name()},
                     {"focal_length", FiniteNumber(cameras.empty() ? 0 : cameras[0].focalLength)},
                     {"panorama", PanoramaJson(engine, panoramaWidth, panoramaHeight)},
                     {"images", ImagesJson(engine, extras.photometry)}};
    if (projection.Type() == ProjectionType::Planar && !cameras.empty())
        root["planar"] = PlanarFrame(engine);
    if (extras.crop)
        root["crop"] = CropJson(*extras.crop);
    if (extras.photometry && !cameras.empty())
        root["vignetting"] = Coefficients(cameras[0].vignetting);
    return QJsonDocument(root).toJson(QJsonDocument::Indented).toStdString();
}
