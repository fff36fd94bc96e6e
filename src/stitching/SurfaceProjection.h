#pragma once

#include "stitching/Projection.h"

// A surface round the camera centre with a longitude: the cylinder and the sphere. They differ
// only in the direction their coordinates name; the rest of the way between panorama pixels
// and camera pixels is theirs in common.
class SurfaceProjection : public Projection {
public:
    bool Wraps() const override { return true; }
    double PixelsPerUnit(double focalLength) const override { return focalLength; }
    PointD FromSurface(const Camera& camera, double a, double b) const override;

protected:
    // The camera ray of source pixel (x, y) in the panorama frame (the camera's longitude
    // removed), unnormalised: X right, Y down, Z ahead.
    static void PanoramaRay(const Camera& camera, double x, double y, double& X, double& Y, double& Z);
    // The unit direction of projection coordinates (l, b), l the longitude less the camera's.
    virtual void Direction(double l, double b, double d[3]) const = 0;
    // The render loops' mapping of both surfaces, with the direction written in place:
    // Sphere selects the sphere's direction.
    template <bool Sphere>
    static bool Source(const InverseMapping& mapping, double u, double v, double* x, double* y);
    template <bool Sphere>
    static void Row(const InverseMapping& mapping, int u0, int v, int count, double* xs, double* ys, bool* ok);
};
