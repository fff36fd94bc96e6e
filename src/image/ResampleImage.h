#pragma once

#include "image/ImgTypes.h"

// Reduces (or enlarges) an image by scale; a reduction with a smoothing factor first blurs
// with sigma = factor * log2(1 / scale). scale 1 copies.
void ResampleImage(const Img& source, ImgFLOAT& result, double scale, double smoothingFactor);
// The same for a float source the caller no longer needs: it is smoothed in place instead of
// being copied first, which saves a full-size image.
void ResampleImageConsuming(ImgFLOAT& source, ImgFLOAT& result, double scale, double smoothingFactor);
