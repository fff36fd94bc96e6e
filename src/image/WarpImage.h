#pragma once

#include "image/ImgTypes.h"
#include "linalg/CMatrix.h"

// Warps source into destination through the 3 x 3 transform (source -> destination pixels).
// The non-exact mode maps the two ends of every destination span and interpolates between
// them. Destination pixels outside the mapped source are not written. False when the
// transform cannot be inverted well enough, or the two images differ in type.
bool WarpImage(const Img& source, Img& destination, const CMatrix& transform, bool exact);
