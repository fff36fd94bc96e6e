#pragma once

#include <vector>

#include "image/ImgTypes.h"
#include "linalg/PointD.h"

namespace stitch {

// One camera of the stitch as the brightness-gradient correction sees it.
struct GradientCamera {
    // Where the centre of its image (width / 2, height / 2) lands in P, in P's pixels.
    PointD centre;
    // The smallest and largest channel value of its working copy's non-empty pixels.
    double minimum = 0;
    double maximum = 0;
};

struct BrightnessGradientInput {
    std::vector<GradientCamera> cameras;  // in camera-list order; entry 0 anchors the fit
    std::vector<PointD> layoutPositions;  // one per camera-list entry
    int firstImageWidth = 0;              // the image of camera-list entry 0
    int firstImageHeight = 0;
    double rotation = 0;  // the panorama's image rotation, radians
};

// Whether the panorama is turned by about a quarter turn (|rotation| in (pi/4, 3pi/4) or
// (5pi/4, 7pi/4)), so that its horizontal runs along P's columns.
bool QuarterTurned(double rotation);

// Levels a linear drift of the images' black and white levels across P: fits
// lo(t) = p0 + p1 (t - c0) to the cameras' minima and hi(t) to their maxima over the camera
// centres' coordinate t, then maps every non-empty pixel of line t (a column when the
// correction runs along x, a row when along y) by v := trunc((v - lo(t)) 255 / (hi(t) - lo(t)) + 0.5).
// The horizontal correction runs along x (along y when the panorama is quarter-turned), the
// vertical one along y (x when quarter-turned). Nothing changes with fewer than three cameras
// (horizontal) or layout positions (vertical), with a layout spread in x (y) not larger than
// the first image's width (height), or when the centres do not determine the lines.
// Where the fitted lines meet or cross (hi(t) <= lo(t)) the line is only shifted by -lo(t).
// Results stay in -32767 .. 32767.
void CorrectBrightnessGradient(ImgRGBSHORT& P, const BrightnessGradientInput& input, bool horizontal);

// The same correction for a panorama of width x height kept in parts: the lines' offsets and
// scales, fitted once, then applied to each part at (left, top) of the panorama.
struct BrightnessLevels {
    bool active = false;  // false: the correction changes nothing
    bool alongX = true;   // the lines are columns (else rows)
    std::vector<double> offset;
    std::vector<double> scale;
};
BrightnessLevels PlanBrightnessGradient(const BrightnessGradientInput& input, bool horizontal, int width, int height);
void ApplyBrightnessGradient(const BrightnessLevels& levels, ImgRGBSHORT& part, int left, int top);

}  // namespace stitch
