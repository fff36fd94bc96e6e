#include "stitching/Autostraighten.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "stitching/Rotations.h"

namespace {

// The optical axes' tips must spread over this share of their largest spread for a plane through
// them to be told (an arc of about 60 degrees), and lie off that plane by less than this share
// of the spread along it: rows at different pitches lie on planes of their own.
constexpr double kPlaneSpread = 0.02;
constexpr double kPlaneFlatness = 0.05;

using Axis = std::array<double, 3>;

// Column c of the camera's rotation: its horizontal image axis (0) or optical axis (2) in the world.
Axis AxisOf(const Camera& camera, int c) {
    return {camera.rotation(0, c), camera.rotation(1, c), camera.rotation(2, c)};
}

std::vector<Axis> Axes(const std::vector<Camera>& cameraList, const std::vector<Camera>& closingCameraList, int c) {
    std::vector<Axis> axes;
    for (const Camera& camera : cameraList)
        axes.push_back(AxisOf(camera, c));
    // Entry 0 of the closing list is a camera of the first list again.
    for (size_t k = 1; k < closingCameraList.size(); ++k)
        axes.push_back(AxisOf(closingCameraList[k], c));
    return axes;
}

// sum (x - centre)(x - centre)^T over the axes.
CMatrix Scatter(const std::vector<Axis>& axes, const Axis& centre) {
    CMatrix S(3, 3);
    for (int k = 0; k < 9; ++k)
        S.data[k] = 0;
    for (const Axis& axis : axes)
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                S(i, j) += (axis[i] - centre[i]) * (axis[j] - centre[j]);
    return S;
}

// The normal of the plane through the axes' tips; false where they do not tell one plane.
bool PlaneNormal(const std::vector<Axis>& axes, CVector& normal) {
    if (axes.size() < 3)
        return false;
    Axis centre = {0, 0, 0};
    for (const Axis& axis : axes)
        for (int i = 0; i < 3; ++i)
            centre[i] += axis[i] / static_cast<double>(axes.size());
    CVector s;
    CMatrix V;
    SingularValues(Scatter(axes, centre), s, V);
    std::array<int, 3> order = {0, 1, 2};
    std::sort(order.begin(), order.end(), [&](int a, int b) { return s[a] > s[b]; });
    if (!(s[order[0]] > 0) || s[order[1]] < kPlaneSpread * s[order[0]] || s[order[2]] > kPlaneFlatness * s[order[1]])
        return false;
    normal = CVector(3);
    for (int i = 0; i < 3; ++i)
        normal[i] = V(i, order[2]);
    return true;
}

// The panning axis. A row shot turning about it keeps one pitch, whatever each photograph's
// roll: the optical axes' tips lie on a plane perpendicular to it. Where they do not (rows at
// several pitches, an arc too short to tell a plane), the cameras are taken as level, their
// horizontal axes perpendicular to it: the direction most nearly perpendicular to all of them.
CVector PanningAxis(const std::vector<Camera>& cameraList, const std::vector<Camera>& closingCameraList) {
    CVector normal;
    if (PlaneNormal(Axes(cameraList, closingCameraList, 2), normal))
        return normal;
    return NullVector(Scatter(Axes(cameraList, closingCameraList, 0), {0, 0, 0}));
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

    CVector a = PanningAxis(cameraList, closingCameraList);
    if (a[1] < 0)
        for (int k = 0; k < 3; ++k)
            a[k] = -a[k];
    // A turn about z brings the axis into the y-z plane, (0, hypot(a0, a1), a2), and one about x
    // from there onto y.
    const double halfPi = std::numbers::pi / 2;
    CMatrix Rr = Rz(halfPi - std::atan2(a[1], a[0]));
    CMatrix Rs = Rx(-(halfPi - std::atan2(std::hypot(a[0], a[1]), a[2])));
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
