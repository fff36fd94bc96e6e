#include "cli/CamerasJson.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "stitching/Rotations.h"
#include "xml/Chars.h"

namespace {

constexpr double kDegree = 180 / std::numbers::pi;

std::string ExactNumber(double v) { return Zelvo::Chars::Format("%.17g", std::isfinite(v) ? v : 0.0).c_str(); }

std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\')
            out += std::string("\\") + static_cast<char>(c);
        else if (c < 0x20)
            out += Zelvo::Chars::Format("\\u%04x", c).c_str();
        else
            out += static_cast<char>(c);
    }
    return out + "\"";
}

std::string Matrix(const CMatrix& m) {
    std::string s = "[";
    for (int i = 0; i < 3; ++i) {
        s += i ? ", [" : "[";
        for (int j = 0; j < 3; ++j)
            s += (j ? ", " : "") + ExactNumber(m(i, j));
        s += "]";
    }
    return s + "]";
}

std::string Triple(const double v[3]) {
    return "[" + ExactNumber(v[0]) + ", " + ExactNumber(v[1]) + ", " + ExactNumber(v[2]) + "]";
}
// The cameras keep colour channels in the images' order (blue, green, red); the file names
// them red, green, blue.
std::string RedGreenBlue(const double v[3]) {
    const double rgb[3] = {v[2], v[1], v[0]};
    return Triple(rgb);
}

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

std::string PlanarFrame(const PanoramaEngine& engine) {
    const std::vector<Camera>& cameras = engine.CameraList();
    double low = std::numeric_limits<double>::infinity(), high = -low;
    for (const Camera& camera : cameras) {
        low = std::min(low, camera.lonOffset);
        high = std::max(high, camera.lonOffset);
    }
    const CMatrix R = Rx(engine.GetVerticalCameraRotation()) * Ry(-(low + high) / 2);
    return ",\n  \"planar\": {\"K\": " + Matrix(cameras[0].K) + ", \"R\": " + Matrix(R) + "}";
}

}  // namespace

std::string CamerasJson(const PanoramaEngine& engine, int panoramaWidth, int panoramaHeight,
                        const CamerasJsonExtras& extras) {
    const std::vector<Camera>& cameras = engine.CameraList();
    const Projection& projection = engine.GetProjection();
    std::string json = "{\n  \"projection\": \"" + std::string(projection.Name()) + "\",\n";
    json += "  \"focal_length\": " + ExactNumber(cameras.empty() ? 0 : cameras[0].focalLength) + ",\n";
    json += "  \"panorama\": {\"width\": " + std::to_string(panoramaWidth) +
            ", \"height\": " + std::to_string(panoramaHeight) +
            ", \"transform\": " + Matrix(engine.PanoramaTransform()) + "}";
    if (projection.Type() == ProjectionType::Planar && !cameras.empty())
        json += PlanarFrame(engine);
    if (extras.crop)
        json += ",\n  \"crop\": {\"left\": " + ExactNumber(extras.crop->left) +
                ", \"top\": " + ExactNumber(extras.crop->top) + ", \"width\": " + ExactNumber(extras.crop->width) +
                ", \"height\": " + ExactNumber(extras.crop->height) + "}";
    if (extras.photometry && !cameras.empty())
        json += ",\n  \"vignetting\": " + Triple(cameras[0].vignetting);
    json += ",\n  \"images\": [";
    for (int i = 0; i < engine.ImageCount(); ++i) {
        const ImageRecord& image = engine.Image(i);
        json += std::string(i ? "," : "") + "\n    {\"path\": " + Quoted(image.path.c_str()) +
                ", \"width\": " + ExactNumber(image.width) + ", \"height\": " + ExactNumber(image.height);
        const Camera* camera = CameraOf(engine, i);
        if (!camera) {
            json += ", \"registered\": false}";
            continue;
        }
        double yaw, pitch, roll;
        Angles(camera->rotation, &yaw, &pitch, &roll);
        json += ", \"registered\": true, \"rotation\": " + Matrix(camera->rotation) +
                ", \"yaw_deg\": " + ExactNumber(yaw) + ", \"pitch_deg\": " + ExactNumber(pitch) +
                ", \"roll_deg\": " + ExactNumber(roll);
        if (extras.photometry)
            json += ", \"gain\": " + RedGreenBlue(camera->gains) + ", \"offset\": " + RedGreenBlue(camera->offsets);
        json += "}";
    }
    return json + "\n  ]\n}\n";
}
