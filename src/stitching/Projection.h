#pragma once

#include <span>
#include <vector>

#include "linalg/CMatrix.h"
#include "linalg/PointD.h"
#include "linalg/RectD.h"
#include "stitching/Camera.h"

// The surfaces a panorama is drawn on; the values are the codes of the projectionType parameter.
enum class ProjectionType { Planar = 0, Cylindrical = 1, Spherical = 2 };

// What a surface does to a camera ray on the way onto it and back off, which is all that is left
// of the way from one camera through the panorama into another (see CameraTransfer).
enum class RayFold {
    None,          // the surface is an image plane: the way is one homography
    Depth,         // rays from behind the camera come back forward, on the side they point to
    ThroughCentre  // rays from behind the camera come back through the centre, mirrored
};

// Panorama pixel -> source pixel of one camera, read once from the camera and the panorama
// transform into plain numbers for the render loops.
struct InverseMapping {
    double f = 1, cx = 0, cy = 0, lon = 0;
    double m[9] = {};  // panorama pixel -> projection coordinates (the plane: -> source pixel)
    double r[9] = {};  // the camera's panorama rotation
};

// One surface. Projection coordinates are the surface's own: the plane's are pixels of the
// reference camera's image plane, the cylinder's (longitude, height), the sphere's (longitude,
// latitude), longitudes in radians including the camera's lonOffset. The panorama transform is
// the affine map from projection coordinates to panorama pixels.
class Projection {
public:
    virtual ~Projection() = default;

    virtual ProjectionType Type() const = 0;
    // The name the project file, the command line and the cameras file use.
    virtual const char* Name() const = 0;
    // Whether the surface goes round the camera, so that a ring of photographs can close a full
    // turn on it (the camera fit's loop block, the 360-degree crop).
    virtual bool Wraps() const = 0;
    virtual RayFold Fold() const = 0;
    // Source pixels per projection unit at the image centres, for cameras of focal length f.
    virtual double PixelsPerUnit(double focalLength) const = 0;

    // Source pixel -> projection coordinates, and the source pixel that sees projection
    // coordinates (a, b).
    virtual PointD ToSurface(const Camera& camera, double x, double y) const = 0;
    virtual PointD FromSurface(const Camera& camera, double a, double b) const = 0;
    // Source pixel -> panorama pixel and back, once the cameras have their panorama transforms.
    virtual PointD ForwardMap(const Camera& camera, const CMatrix& panoramaTransform, double x, double y) const;
    virtual PointD InverseMap(const Camera& camera, const CMatrix& panoramaTransformInverse, double u, double v) const;

    // The numbers SourcePixel and SourceRow work from.
    virtual InverseMapping Mapping(const Camera& camera, const CMatrix& panoramaTransformInverse) const;
    // The source position of panorama pixel (u, v); false where it looks away from the camera or
    // the mapping has no finite answer (x and y then hold no position).
    virtual bool SourcePixel(const InverseMapping& mapping, double u, double v, double* x, double* y) const = 0;
    // The same for the count panorama pixels (u0 + j, v) of one row: ok[j] tells whether
    // (xs[j], ys[j]) holds a source position.
    virtual void SourceRow(const InverseMapping& mapping, int u0, int v, int count, double* xs, double* ys,
                           bool* ok) const = 0;

    // After the fit has given every camera its panorama rotation and longitude: what else the
    // surface needs of the cameras (the plane: the homographies onto the panorama's plane).
    virtual void PrepareCameras(std::vector<Camera>& cameras, double verticalCameraRotation) const;

    // The source image's border walked pixel by pixel (top row left to right, right column down,
    // bottom row right to left, left column up, then the first pixel again) in projection
    // coordinates. The image size is the camera's (its lens model's width and height).
    std::vector<PointD> OutlinePoints(const Camera& camera) const;
    // The bounding rectangle of the outline; 10 x 10 at the origin for an image without pixels.
    // A photograph that sees a pole covers every longitude up to that pole: its outline is a
    // full turn wide about its longitude and reaches the pole.
    RectD Outline(const Camera& camera) const;
    // The pole the photograph sees, as the sign of its latitude (-1 the zenith, +1 the nadir),
    // or 0: only a surface that reaches the poles (the sphere) has one to see.
    virtual int PoleSeen(const Camera& camera) const;
};

// The surface of a type; throws "Unknown projection" for a value that names none.
const Projection& ProjectionOf(ProjectionType type);
// The surface of a projectionType code or name; null when there is none.
const Projection* FindProjection(int code);
const Projection* FindProjection(const char* name);
// The names of the surfaces by code.
std::span<const char* const> ProjectionNames();

// (x, y) through a 3 x 3 matrix with the homogeneous division.
inline PointD MapHomogeneous(const CMatrix& M, double x, double y) {
    double w = M(2, 0) * x + M(2, 1) * y + M(2, 2);
    return {(M(0, 0) * x + M(0, 1) * y + M(0, 2)) / w, (M(1, 0) * x + M(1, 1) * y + M(1, 2)) / w};
}
