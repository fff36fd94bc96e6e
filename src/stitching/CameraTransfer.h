#pragma once

#include "stitching/Camera.h"
#include "stitching/Projection.h"

// Source pixel of one camera -> source pixel of another camera that sees the same point of the
// panorama surface. The way through the panorama (surface coordinates, the panorama transform
// and back) cancels except for what the surface itself does to a ray: the cylinder and the
// sphere fold rays from behind the camera forward and turn them by the difference of the two
// longitude offsets. So the whole way is a few products and one division per pixel instead of
// four trigonometric calls; the positions differ from the long way's by rounding only.
class CameraTransfer {
public:
    CameraTransfer(const Projection& projection, const Camera& from, const Camera& to);

    // Working row i of `from` (its pixels (j / fromScale, i / fromScale), j = 0 .. count-1) in
    // working pixels of `to` (pixels times toScale); NaN in both where the point has no image
    // in `to` (it lies behind that camera, or the way has no finite answer).
    void WorkingRow(int i, int count, double fromScale, double toScale, double* xs, double* ys) const;

private:
    void SurfaceRow(int i, int count, double fromScale, double toScale, double* xs, double* ys) const;
    void PlanarRow(int i, int count, double fromScale, double toScale, double* xs, double* ys) const;

    RayFold fold;
    double fromF, fromCx, fromCy;
    double toF, toCx, toCy;
    double rotation[9];    // `from` pixel ray -> panorama frame
    double onward[9];      // folded panorama ray -> `to` camera ray (planar: the panorama's homogeneous
                           // pixel -> `to` pixel)
    double planarLast[3];  // planar: the homogeneous weight of `from`'s panorama pixel
};
