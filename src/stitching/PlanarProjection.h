#pragma once

#include "stitching/Projection.h"

// The image plane of the reference camera, turned to face the middle of the panorama's
// longitudes and tilted by the vertical camera rotation. Every camera reaches it through a
// homography (toPanorama, fromPanorama), which after the stitch geometry ends in panorama pixels.
class PlanarProjection : public Projection {
public:
    ProjectionType Type() const override { return ProjectionType::Planar; }
    const char* Name() const override { return "planar"; }
    bool Wraps() const override { return false; }
    RayFold Fold() const override { return RayFold::None; }
    double PixelsPerUnit(double) const override { return 1; }

    PointD ToSurface(const Camera& camera, double x, double y) const override;
    PointD FromSurface(const Camera& camera, double a, double b) const override;
    // The homographies already end in panorama pixels: the transform is not applied again.
    PointD ForwardMap(const Camera& camera, const CMatrix& panoramaTransform, double x, double y) const override;
    PointD InverseMap(const Camera& camera, const CMatrix& panoramaTransformInverse, double u, double v) const override;

    InverseMapping Mapping(const Camera& camera, const CMatrix& panoramaTransformInverse) const override;
    bool SourcePixel(const InverseMapping& mapping, double u, double v, double* x, double* y) const override;
    void SourceRow(const InverseMapping& mapping, int u0, int v, int count, double* xs, double* ys,
                   bool* ok) const override;

    void PrepareCameras(std::vector<Camera>& cameras, double verticalCameraRotation) const override;
};
