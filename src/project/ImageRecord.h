#pragma once

#include <vector>

#include "xml/Chars.h"
#include "project/Descriptor.h"
#include "linalg/PointD.h"

namespace Zelvo {
class XmlElement;
}

// One source image of the project.
struct ImageRecord {
    Zelvo::Chars path;
    double width = 0;
    double height = 0;
    // Filled by feature extraction, in source-image pixels; never stored in the project file.
    std::vector<PointD> featurePoints;
    std::vector<Descriptor> descriptors;
};

// Path and size from an Image element of the project document; false when one of `path`,
// `w` and `h` is missing (the callers name the error in their own words).
bool ReadImageRecord(Zelvo::XmlElement* element, ImageRecord& record);
