#pragma once

#include <numbers>

// Radians per degree: the movie's angles are degrees, the trigonometry wants radians.
inline constexpr double kDegree = std::numbers::pi / 180.0;

// Angles of a cylindrical panorama as QuickTime VR stores them, in degrees. Pan grows to the
// left (counter-clockwise seen from above), tilt grows upwards, field of view is vertical.
struct VrAngles {
    double minPan = 0, maxPan = 360;
    double minTilt = -30, maxTilt = 30;
    double minFov = 5, maxFov = 60;
    double defaultPan = 180, defaultTilt = 0, defaultFov = 60;
};

// The angles of a movie made from a width x height panorama covering angle degrees on the
// cylinder, shown in a window of the given size: pan from 0 to the angle; tilt as far as the
// image reaches above and below the horizon (its middle row); the largest field of view shows
// the whole height (and no more than the angle across, for narrow panoramas), the smallest
// magnifies the panorama four times; the first view looks at the middle of the panorama with
// the largest field of view.
VrAngles AnglesForPanorama(int width, int height, double angle, int windowWidth, int windowHeight);

// Where a view direction lands on the panorama image.
struct Cylinder {
    int width = 0, height = 0;
    double minPan = 0, maxPan = 360;
    double radius = 1;   // pixels per radian of pan
    double horizon = 0;  // image y (0 at the top edge) of tilt 0
    bool wraps = true;   // the image closes the full circle
};
// The cylinder of a width x height image with those angles. Tilt limits that are not above and
// below the horizon put the horizon in the middle row.
Cylinder CylinderOf(int width, int height, const VrAngles& angles);

struct ViewAngles {
    double pan = 0, tilt = 0, fov = 60;
    bool operator==(const ViewAngles&) const = default;
};

// The horizontal field of view of a view of viewWidth x viewHeight pixels with the vertical
// field of view fov (degrees).
double HorizontalFov(double fov, int viewWidth, int viewHeight);
// The view limited to the movie's angles: field of view within its limits, tilt so that the
// top and bottom of the view's middle column stay within the tilt limits, pan wrapped into
// [minPan, minPan + 360) for a closed circle and otherwise kept so that the view's left and
// right edges stay within the pan limits (centred when the range is narrower than the view).
ViewAngles ClampView(ViewAngles view, const VrAngles& angles, int viewWidth, int viewHeight);
