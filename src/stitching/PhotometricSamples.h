#pragma once

#include <vector>

#include "image/ImgTypes.h"
#include "linalg/PointD.h"
#include "stitching/PhotometricFit.h"

// One colour comparison between two overlapping photographs: the same scene point in both,
// at full-resolution pixel positions, with the colours of the small blurred copies (blue,
// green, red as 0..255).
struct PhotometricSample {
    PointD child;
    PointD parent;
    double childColour[3] = {0, 0, 0};
    double parentColour[3] = {0, 0, 0};
};

struct PhotometricEdgeSamples {
    int childCamera = 0;
    int parentCamera = 0;
    std::vector<PhotometricSample> samples;
};

// The samples of one edge: the parent's small image outline mapped into the child's small image
// gives the overlap's bounding rectangle (clamped to the child); a grid of 10 % steps inside it,
// without its outer steps, is mapped back into the parent through the pair's own homography,
// and every point that lands strictly inside the parent's small image (not on its outermost
// pixels) is a sample. An edge whose photographs do not overlap gives none.
std::vector<PhotometricSample> CollectEdgeSamples(const PhotometricEdge& edge, const ImgRGB& child, double childScale,
                                                  const ImgRGB& parent, double parentScale);

// The samples of every edge, in edge order; small images and scales by camera index.
std::vector<PhotometricEdgeSamples> CollectPhotometricSamples(const std::vector<PhotometricEdge>& edges,
                                                              const std::vector<ImgRGB>& images,
                                                              const std::vector<double>& scales);
