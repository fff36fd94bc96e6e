#pragma once

// Renders perspective photographs from an equirectangular world with known cameras. Written
// on its own, without the engine's projection code, so that the two cannot share a mistake.
#include <string>

#include "image/ImgTypes.h"
#include "render/Mat3.h"

namespace render {

// One photograph: camera turned by yaw (to the right), pitch (up) and roll (about the optical
// axis), all in degrees; focal length in pixels; principal point at (width / 2, height / 2).
struct ViewSpec {
    double yaw = 0, pitch = 0, roll = 0;
    double focal = 1000;
    int width = 640, height = 480;
    double gain = 1, offset = 0, vignetting = 0;  // out = gain (1 - v r^2) in + offset, r to the corner
    double whiteBalance[3] = {1, 1, 1};           // red, green, blue factors on top of the gain
};

// Camera axes: x right, y down, z forward. World axes: x east, y down, z north.
Mat3 WorldFromCamera(const ViewSpec& view);

class World {
public:
    bool Load(const std::string& path);
    int Width() const { return pixels.width; }
    // Bilinear sample in the direction d (need not be unit length).
    void Sample(const Vec3& d, double out[3]) const;

private:
    ImgRGB pixels;
};

// Rays averaged along each side of a pixel that spans `texels` world pixels (at its widest, at
// the image centre): 1 up to 1.1 texels, then one more per texel, at most 4. A camera integrates
// its pixel's area; a single ray per pixel would alias the world's finer detail, differently in
// every view, and shift what the views show against each other.
int RaysPerSide(double texels);

// Each pixel the average of RaysPerSide(world texels per pixel)² rays spread over its area.
ImgRGB RenderView(const World& world, const ViewSpec& view);

// Where pixel position p of view a appears in view b; false when it is behind b.
bool MapBetweenViews(const ViewSpec& a, const ViewSpec& b, double x, double y, double* bx, double* by);
// The angle in degrees between the optical axes of two views, and the rotation from a's
// camera frame to b's (R_b^T R_a).
Mat3 RelativeRotation(const ViewSpec& a, const ViewSpec& b);

}  // namespace render
