#pragma once

#include <utility>
#include <vector>

#include "linalg/PointD.h"
#include "linalg/RectD.h"
#include "matching/Descriptor.h"
#include "xml/Chars.h"

namespace Zelvo {
class XmlElement;
}

// One source image of the project.
struct ImageRecord {
    ImageRecord() = default;
    ImageRecord(Zelvo::Chars path, double width, double height, std::vector<PointD> featurePoints = {},
                std::vector<Descriptor> descriptors = {})
        : path(std::move(path)), width(width), height(height), featurePoints(std::move(featurePoints)),
          descriptors(std::move(descriptors)) {}

    Zelvo::Chars path;
    double width = 0;
    double height = 0;
    // Filled by feature extraction, in source-image pixels; never stored in the project file.
    std::vector<PointD> featurePoints;
    std::vector<Descriptor> descriptors;
    // The last stitch geometry: the image's bounding rectangle in panorama pixels.
    RectD panoramaRect;
    // The final stitch's working copy: its scale and size, and its smallest and largest
    // channel value over non-empty pixels.
    double workScale = 1;
    int workWidth = 0;
    int workHeight = 0;
    int workMinimum = 0;
    int workMaximum = 0;
};

// Path and size from an Image element of the project document; false when one of `path`,
// `w` and `h` is missing (the callers name the error in their own words).
bool ReadImageRecord(Zelvo::XmlElement* element, ImageRecord& record);
