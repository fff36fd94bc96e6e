#pragma once

#include <QImage>

// A QImage of 32-bit pixels (rows of width * 4 bytes) whose pixels live in a large block (see
// LargeBlocks.h), given back when the last copy of the image ends; null when the size is not
// positive, too large for a QImage or the memory cannot be had. Decoders and encoders of photographs and panoramas
// otherwise take fresh memory for every image, page by page.
QImage LargeBlockImage(int width, int height, QImage::Format format);
