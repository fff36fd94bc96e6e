#pragma once

#include "linalg/CMatrix.h"
#include "stitching/Camera.h"
#include "stitching/Projection.h"

// Panorama pixel -> source pixel of one camera on one surface, for the render loops: the
// surface's mapping with the camera's numbers read once. It also tells the directions that lie
// behind the camera, which the plain mapping would mirror into the image.
class InverseMapper {
public:
    InverseMapper(const Projection& projection, const Camera& camera, const CMatrix& panoramaTransformInverse)
        : projection(&projection), mapping(projection.Mapping(camera, panoramaTransformInverse)) {}

    // False when (u, v) looks away from the camera (or the mapping has no finite answer).
    bool Source(double u, double v, double* x, double* y) const { return projection->SourcePixel(mapping, u, v, x, y); }
    // Source for the count panorama pixels (u0 + j, v) of one row: ok[j] tells whether
    // (xs[j], ys[j]) holds a source position.
    void SourceRow(int u0, int v, int count, double* xs, double* ys, bool* ok) const {
        projection->SourceRow(mapping, u0, v, count, xs, ys, ok);
    }

private:
    const Projection* projection;
    InverseMapping mapping;
};
