#pragma once

#include <vector>

#include "image/ImgTypes.h"
#include "matching/Descriptor.h"
#include "matching/FeaturePoint.h"

// Detects the salient points of one working image and gives them descriptors. Entry k of
// descriptors belongs to entry k of points.
// Samples on the ring of radius r >= 1: 4 k - 3 positions evenly spaced in angle.
int RingSampleCount(int r);

class FeatureExtractor {
public:
    // The squared difference of two Gaussians, kept where it is the maximum of a window of
    // spacing pixels, above threshold and among the maxPoints strongest (plus ties).
    void DetectFeatures(const ImgFLOAT& image, int maxPoints, int border, int spacing, double sigma, double threshold);
    // Orientation and descriptor of every point; points without one are dropped.
    void ComputeDescriptors(const ImgFLOAT& image, int R, int directions, int length);

    std::vector<FeaturePoint> points;
    std::vector<Descriptor> descriptors;
};
