#include "movie/CylinderGeometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// A pan range this close to 360 degrees closes the circle.
constexpr double kFullCircleSlack = 1e-3;
// The smallest field of view magnifies the panorama this many times at the view's centre.
constexpr double kMaxMagnification = 4.0;

double VerticalFovFor(double horizontalFov, double aspect) {
    return 2.0 * std::atan(std::tan(horizontalFov * kDegree / 2.0) / aspect) / kDegree;
}

}  // namespace

VrAngles AnglesForPanorama(int width, int height, double angle, int windowWidth, int windowHeight) {
    VrAngles a;
    double radius = width / (angle * kDegree);
    double halfHeight = height / 2.0;
    a.minPan = 0;
    a.maxPan = angle;
    a.maxTilt = std::atan(halfHeight / radius) / kDegree;
    a.minTilt = -a.maxTilt;
    a.maxFov = 2.0 * a.maxTilt;
    if (angle < 180.0)
        a.maxFov = std::min(a.maxFov, VerticalFovFor(angle, double(windowWidth) / windowHeight));
    a.minFov = 2.0 * std::atan(windowHeight / 2.0 / (kMaxMagnification * radius)) / kDegree;
    a.minFov = std::min(a.minFov, a.maxFov);
    a.defaultPan = angle / 2.0;
    a.defaultTilt = 0;
    a.defaultFov = a.maxFov;
    return a;
}

Cylinder CylinderOf(int width, int height, const VrAngles& angles) {
    Cylinder c;
    c.width = width;
    c.height = height;
    c.minPan = angles.minPan;
    c.maxPan = angles.maxPan;
    double range = angles.maxPan - angles.minPan;
    c.radius = width / (range * kDegree);
    c.wraps = range >= 360.0 - kFullCircleSlack;
    double up = std::tan(std::clamp(angles.maxTilt, -89.0, 89.0) * kDegree);
    double down = std::tan(std::clamp(angles.minTilt, -89.0, 89.0) * kDegree);
    c.horizon = (up > 0 && down < 0) ? height * up / (up - down) : height / 2.0;
    return c;
}

double HorizontalFov(double fov, int viewWidth, int viewHeight) {
    double aspect = double(viewWidth) / std::max(1, viewHeight);
    return 2.0 * std::atan(std::tan(fov * kDegree / 2.0) * aspect) / kDegree;
}

ViewAngles ClampView(ViewAngles v, const VrAngles& a, int viewWidth, int viewHeight) {
    v.fov = std::clamp(v.fov, a.minFov, std::max(a.minFov, a.maxFov));
    double halfV = v.fov / 2.0;
    if (a.maxTilt - a.minTilt <= v.fov)
        v.tilt = (a.maxTilt + a.minTilt) / 2.0;
    else
        v.tilt = std::clamp(v.tilt, a.minTilt + halfV, a.maxTilt - halfV);
    double range = a.maxPan - a.minPan;
    if (range >= 360.0 - kFullCircleSlack) {
        v.pan = a.minPan + std::fmod(std::fmod(v.pan - a.minPan, 360.0) + 360.0, 360.0);
        return v;
    }
    double halfH = HorizontalFov(v.fov, viewWidth, viewHeight) / 2.0;
    if (range <= 2.0 * halfH)
        v.pan = (a.minPan + a.maxPan) / 2.0;
    else
        v.pan = std::clamp(v.pan, a.minPan + halfH, a.maxPan - halfH);
    return v;
}
