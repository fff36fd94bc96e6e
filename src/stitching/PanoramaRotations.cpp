#include "stitching/PanoramaRotations.h"

#include <algorithm>
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

void PlanarHomographies(std::vector<Camera>& cameraList, double verticalCameraRotation) {
    auto [lo, hi] = std::minmax_element(cameraList.begin(), cameraList.end(),
                                        [](const Camera& a, const Camera& b) { return a.lonOffset < b.lonOffset; });
    const double middle = (lo->lonOffset + hi->lonOffset) / 2;
    CMatrix view = Rx(verticalCameraRotation) * Ry(-middle);
    CMatrix viewTransposed = view.Transpose();
    const CMatrix K0 = cameraList[0].K;
    const CMatrix K0Inverse = cameraList[0].KInverse;
    for (Camera& camera : cameraList) {
        camera.toPanorama = K0 * view * camera.rotation * camera.KInverse;
        camera.fromPanorama = camera.K * camera.rotationTransposed * viewTransposed * K0Inverse;
    }
}

}  // namespace

void ComputePanoramaRotations(std::vector<Camera>& cameraList, std::vector<Camera>& closingCameraList,
                              const std::vector<PointD>& layoutPositions, ProjectionType type,
                              double verticalCameraRotation) {
    if (cameraList.empty())
        return;
    if (layoutPositions.size() < cameraList.size())
        throw "ComputePanoramaRotations(): fewer layout positions than cameras";
    const double E0 = layoutPositions[0].x;
    const double W0 = cameraList[0].lens.width;
    for (size_t i = 0; i < cameraList.size(); ++i) {
        double longitude = AxisLongitude(cameraList[i]);
        const double s = longitude >= 0 ? 1 : -1;
        const double E = layoutPositions[i].x;
        const double layoutSide = E >= 0 ? 1 : -1;
        // The camera sits a whole turn further along on the side its layout position shows.
        if (layoutSide != s && std::fabs(E - E0) > W0)
            longitude -= s * kTurn;
        SetLongitude(cameraList[i], longitude);
    }
    for (Camera& camera : closingCameraList) {
        double longitude = AxisLongitude(camera);
        SetLongitude(camera, longitude < 0 ? longitude + kTurn : longitude);
    }
    if (type == ProjectionType::Planar)
        PlanarHomographies(cameraList, verticalCameraRotation);
}
