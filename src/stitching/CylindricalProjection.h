#pragma once

#include "stitching/SurfaceProjection.h"

// The unit cylinder round the vertical axis: (theta, h), longitude and height.
class CylindricalProjection : public SurfaceProjection {
public:
    ProjectionType Type() const override { return ProjectionType::Cylindrical; }
    const char* Name() const override { return "cylindrical"; }
    RayFold Fold() const override { return RayFold::Depth; }
    PointD ToSurface(const Camera& camera, double x, double y) const override;
    bool SourcePixel(const InverseMapping& mapping, double u, double v, double* x, double* y) const override;
    void SourceRow(const InverseMapping& mapping, int u0, int v, int count, double* xs, double* ys,
                   bool* ok) const override;

protected:
    void Direction(double l, double b, double d[3]) const override;
};
