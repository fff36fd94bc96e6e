#include "stitching/PanoramaRotations.h"

#include <cmath>
#include <numbers>

#include "stitching/Rotations.h"

namespace {

constexpr double kTurn = 2 * std::numbers::pi;

// atan2 of the optical axis rotation * (0, 0, 1) in the x-z plane.
double AxisLongitude(const Camera& camera) { return std::atan2(camera.rotation(0, 2), camera.rotation(2, 2)); }

void SetLongitude(Camera& camera, double longitude) {
    camera.lonOffset = longitude;
    camera.SetPanoRotation(Ry(-longitude) * camera.rotation);
}

}  // namespace

void SetPanoramaLongitude(Camera& camera, double layoutX, double referenceLayoutX, double referenceWidth) {
    double longitude = AxisLongitude(camera);
    const double s = longitude >= 0 ? 1 : -1;
    const double layoutSide = layoutX >= 0 ? 1 : -1;
    // The camera sits a whole turn further along on the side its layout position shows.
    if (layoutSide != s && std::fabs(layoutX - referenceLayoutX) > referenceWidth)
        longitude -= s * kTurn;
    SetLongitude(camera, longitude);
}

void ComputePanoramaRotations(std::vector<Camera>& cameraList, std::vector<Camera>& closingCameraList,
                              const std::vector<PointD>& layoutPositions, ProjectionType type,
                              double verticalCameraRotation) {
    if (cameraList.empty())
        return;
    if (layoutPositions.size() < cameraList.size())
        throw "ComputePanoramaRotations(): fewer layout positions than cameras";
    const double E0 = layoutPositions[0].x;
    const double W0 = cameraList[0].lens.width;
    for (size_t i = 0; i < cameraList.size(); ++i)
        SetPanoramaLongitude(cameraList[i], layoutPositions[i].x, E0, W0);
    for (Camera& camera : closingCameraList) {
        double longitude = AxisLongitude(camera);
        SetLongitude(camera, longitude < 0 ? longitude + kTurn : longitude);
    }
    ProjectionOf(type).PrepareCameras(cameraList, verticalCameraRotation);
}
