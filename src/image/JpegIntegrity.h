#pragma once

#include <QByteArray>
#include <QString>

// A JPEG file cut short (an interrupted copy or download) still decodes: the decoder fills
// the missing rows with gray and only warns. These tell such a file from a whole one by its
// marker structure: a whole file reaches its end-of-image marker.

// False only for JPEG data whose last scan or segment runs past the end of the bytes; any
// other data (not JPEG at all, or a complete JPEG, trailing bytes allowed) is true.
bool JpegDataComplete(const QByteArray& bytes);
// The same for a file; a file that cannot be read is left to the decoder to refuse.
bool IsTruncatedJpeg(const QString& path);
