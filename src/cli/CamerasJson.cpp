#include "cli/CamerasJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <algorithm>
#include <cmath>
#include <limits>

#include "stitching/CameraAngles.h"
#include "stitching/Rotations.h"

namespace {

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
    const CameraAngles angles = AnglesOf(camera.rotation);
    image["registered"] = true;
    image["rotation"] = Matrix(camera.rotation);
    image["yaw_deg"] = FiniteNumber(angles.yaw);
    image["pitch_deg"] = FiniteNumber(angles.pitch);
    image["roll_deg"] = FiniteNumber(angles.roll);
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
    if (const Camera* camera = FindCameraOf(engine.CameraList(), index))
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
