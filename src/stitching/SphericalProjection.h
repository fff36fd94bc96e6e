#pragma once

#include "stitching/SurfaceProjection.h"

// The unit sphere: (lambda, phi), longitude and latitude.
class SphericalProjection : public SurfaceProjection {
public:
    ProjectionType Type() const override { return ProjectionType::Spherical; }
    const char* Name() const override { return "spherical"; }
    RayFold Fold() const override { return RayFold::ThroughCentre; }
    PointD ToSurface(const Camera& camera, double x, double y) const override;
    int PoleSeen(const Camera& camera) const override;
    bool SourcePixel(const InverseMapping& mapping, double u, double v, double* x, double* y) const override;
    void SourceRow(const InverseMapping& mapping, int u0, int v, int count, double* xs, double* ys,
                   bool* ok) const override;

protected:
    void Direction(double l, double b, double d[3]) const override;
};
