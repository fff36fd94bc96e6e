#pragma once

#include "linalg/CMatrix.h"
#include "image/ImgTypes.h"

// Reduces (or enlarges) an image by scale; a reduction with a smoothing factor first blurs
// with sigma = factor * log2(1 / scale). scale 1 copies.
void ResampleImage(const Img& source, ImgFLOAT& result, double scale, double smoothingFactor);
// The same for a float source the caller no longer needs: it is smoothed in place instead of
// being copied first, which saves a full-size image.
void ResampleImageConsuming(ImgFLOAT& source, ImgFLOAT& result, double scale, double smoothingFactor);

// Warps source into destination through the 3 x 3 transform (source -> destination pixels).
// The non-exact mode maps the two ends of every destination span and interpolates between
// them. Destination pixels outside the mapped source are not written. False when the
// transform cannot be inverted well enough, or the two images differ in type.
bool WarpImage(const Img& source, Img& destination, const CMatrix& transform, bool exact);

// Running maximum over a window (sizes made odd; nothing written below 3).
void MaxFilter(const ImgFLOAT& source, ImgFLOAT& result, int windowWidth, int windowHeight);
