#include "stitching/Autostraighten.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "stitching/Rotations.h"

namespace {

// S += x x^T for the first column x of the camera's rotation (its horizontal axis in the world).
void AddHorizontalAxis(const Camera& camera, CMatrix& S) {
    const double x[3] = {camera.rotation(0, 0), camera.rotation(1, 0), camera.rotation(2, 0)};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            S(i, j) += x[i] * x[j];
}

}  // namespace

bool StraighteningRotation(const std::vector<Camera>& cameraList, const std::vector<Camera>& closingCameraList,
                           const std::vector<PointD>& layoutPositions, CMatrix& straighten) {
    if (cameraList.empty())
        return false;
    if (layoutPositions.size() < cameraList.size())
        throw "Autostraighten(): fewer layout positions than cameras";
    auto [lowest, highest] =
        std::minmax_element(layoutPositions.begin(), layoutPositions.begin() + static_cast<long>(cameraList.size()),
                            [](const PointD& a, const PointD& b) { return a.x < b.x; });
    if (highest->x - lowest->x <= 0.25 * cameraList[0].lens.width)
        return false;

    CMatrix S(3, 3);
    for (int k = 0; k < 9; ++k)
        S.data[k] = 0;
    for (const Camera& camera : cameraList)
        AddHorizontalAxis(camera, S);
    // Entry 0 of the closing list is a camera of the first list again.
    for (size_t k = 1; k < closingCameraList.size(); ++k)
        AddHorizontalAxis(closingCameraList[k], S);

    CVector a = NullVector(S);
    if (a[1] < 0)
        for (int k = 0; k < 3; ++k)
            a[k] = -a[k];
    const double halfPi = std::numbers::pi / 2;
    CMatrix Rs = Rx(-(halfPi - std::atan2(a[1], a[2])));
    CMatrix Rr = Rz(halfPi - std::atan2(a[1], a[0]));
    straighten = Rs * Rr;
    return true;
}

double Autostraighten(std::vector<Camera>& cameraList, std::vector<Camera>& closingCameraList,
                      const std::vector<PointD>& layoutPositions) {
    CMatrix straighten;
    if (!StraighteningRotation(cameraList, closingCameraList, layoutPositions, straighten))
        return 0;
    for (Camera& camera : cameraList)
        camera.SetRotation(straighten * camera.rotation);
    for (Camera& camera : closingCameraList)
        camera.SetRotation(straighten * camera.rotation);
    const double trace = straighten(0, 0) + straighten(1, 1) + straighten(2, 2);
    return std::acos(std::clamp((trace - 1) / 2, -1.0, 1.0));
}
