#pragma once

#include <vector>

#include "image/ImgTypes.h"
#include "image/PhotographSource.h"
#include "linalg/PointD.h"
#include "matching/Descriptor.h"

// The matching parameters one extraction needs.
struct ImageFeatureSettings {
    int imageSize = 0;
    double spacingPercent = 0;
    double radiusPercent = 0;
    int maxPoints = 0;
    bool keepGray = false;  // hand the decoded full-resolution gray image back too
};

// One photograph's feature points (in its own pixels) and their descriptors. It touches no
// shared state, so several photographs may be extracted at once on different threads.
struct ImageFeatures {
    std::vector<PointD> points;
    std::vector<Descriptor> descriptors;
    ImgFLOAT gray;  // the decoded photograph, when asked for
};
// Throws UnreadablePhotograph when the photograph cannot be read.
ImageFeatures ExtractFeatures(const PhotographSource& photographs, int index, const ImageFeatureSettings& settings);
