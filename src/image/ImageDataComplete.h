#pragma once

#include <QByteArray>

// BMP and GIF files cut short (an interrupted copy or download) decode as well: the decoders
// stop where the data ends and hand out an image whose missing rows hold whatever the memory
// held. These tell such a file from a whole one by its own structure.

// False only for BMP data whose uncompressed pixel rows (or, compressed, the pixel data size
// its header states) run past the end of the bytes; anything else is true.
bool BmpDataComplete(const QByteArray& bytes);
// False only for GIF data that ends before its first image's compressed data is complete (the
// decoders read that frame alone); anything else is true.
bool GifDataComplete(const QByteArray& bytes);
