#pragma once

#include <QString>

#include "image/ImgTypes.h"

// Orientation codes of source images: 1 turns the stored image 90 degrees clockwise, 2 by 180
// degrees, 3 by 90 degrees counter-clockwise; anything else leaves it unchanged.
enum SourceOrientation { kOrientationNone = 0, kOrientationCw90 = 1, kOrientation180 = 2, kOrientationCcw90 = 3 };

// Decodes an image file into 24-bit pixels with the orientation applied. False, with the
// target untouched, when the file cannot be decoded or is not a regular file (a pipe or a
// device is never opened).
bool LoadImageFile(ImgRGB& target, int orientation, const QString& path);

// The same decoding straight into gray values (11 blue + 16 green + 5 red) / 32, as a 24-bit
// load followed by a copy into a float image gives, without the 24-bit image in between.
bool LoadImageFileGray(ImgFLOAT& target, int orientation, const QString& path);

// The same reduced while it is decoded where the format allows (a JPEG by 1/2, 1/4 or 1/8) as
// far as the upright image stays at least minimumWidth wide; otherwise whole.
bool LoadImageFileReduced(ImgRGB& target, int orientation, const char* path, int minimumWidth);

// The size an image file would load with, orientation applied, from its header alone (no
// pixel decoding), except for GIF files, whose header can disagree with what they decode to
// and which are therefore decoded. False when the path is not a readable image file.
bool ReadImageFileSize(const QString& path, int orientation, int* width, int* height);

// Writes the format that the file name's suffix names, JPEG for any other suffix, quality 100.
bool SaveImageFile(const ImgRGB& image, const QString& path);
// The same with a JPEG quality of 1..100 (the other formats ignore it).
bool SaveImageFile(const ImgRGB& image, const QString& path, int quality);

// The same four, for a path given as the bytes the file system uses (a command-line argument,
// a path stored in a project). Every name reaches its file exactly, also one that is not
// valid UTF-8, which a QString cannot hold.
bool LoadImageFile(ImgRGB& target, int orientation, const char* path);
bool LoadImageFileGray(ImgFLOAT& target, int orientation, const char* path);
bool ReadImageFileSize(const char* path, int orientation, int* width, int* height);
bool SaveImageFile(const ImgRGB& image, const char* path);

// The most memory, in megabytes, that one decoded image may take before its conversion;
// a larger image (or a header that claims one) fails to load. 4096 by default, room for
// gigapixel panoramas; a program that must stay small (a fuzzer) sets less.
constexpr int kDefaultImageDecodeLimitMegabytes = 4096;
void SetImageDecodeLimitMegabytes(int megabytes);

// Copies decoded 32-bit pixels (0xAARRGGBB) into a 24-bit image of the same size.
class QImage;
void CopyQImageInto(const QImage& decoded, ImgRGB& target);
void CopyQImageGrayInto(const QImage& decoded, ImgFLOAT& target);
