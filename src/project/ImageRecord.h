#pragma once

#include <vector>

#include "Chars.h"
#include "Descriptor.h"
#include "PointD.h"

// One source image of the project.
struct ImageRecord {
    Zelvo::Chars path;
    double width = 0;
    double height = 0;
    // Filled by feature extraction, in source-image pixels; never stored in the project file.
    std::vector<PointD> featurePoints;
    std::vector<Descriptor> descriptors;
};
