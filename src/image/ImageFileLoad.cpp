#include <QImage>
#include <QImageReader>
#include <QTransform>

#include "image/ImageFile.h"
#include "image/ImageSource.h"
#include "image/LargeBlockImage.h"

namespace {

bool IsTurned(int orientation) { return orientation == kOrientationCw90 || orientation == kOrientationCcw90; }

// How the file says its pixels are to be turned or mirrored to stand upright (a camera's EXIF
// Orientation in a JPEG, a TIFF's orientation tag): every load applies it before the project's
// rotation, so a photograph stored sideways is matched, shown and stitched upright.
QImageIOHandler::Transformations StoredTransformation(ImageSource& source) {
    source.Reader().setAutoTransform(false);
    return source.Reader().transformation();
}

bool StoredTurned(QImageIOHandler::Transformations stored) {
    return (stored & QImageIOHandler::TransformationRotate90) != 0;
}

// The stored pixels upright: mirrored first, then turned a quarter clockwise, as the
// transformation's flags compose.
QImage Upright(QImage image, QImageIOHandler::Transformations stored) {
    const bool mirror = stored & QImageIOHandler::TransformationMirror;
    const bool flip = stored & QImageIOHandler::TransformationFlip;
    if (mirror || flip)
        image = std::move(image).mirrored(mirror, flip);
    if (StoredTurned(stored))
        image = image.transformed(QTransform().rotate(90));
    return image;
}

// Decodes into a large block of our own where the reader can tell the size and the 32-bit
// layout beforehand (the decoders write into an image of the right size and layout in
// place): the decoder's own buffer of tens of megabytes would reach the process as fresh
// pages, one fault each, on every photograph, while ours are reused while a stitch runs.
// Anything else, or a header claiming more than the decoding limit, decodes the usual way.
QImage Decode(QImageReader& reader) {
    const QSize size = reader.scaledSize().isValid() ? reader.scaledSize() : reader.size();
    const QImage::Format format = reader.imageFormat();
    if (!size.isValid() || size.isEmpty() || (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32))
        return reader.read();
    const qint64 bytes = qint64(size.width()) * 4 * size.height();
    const qint64 limit = qint64(QImageReader::allocationLimit()) << 20;
    if (limit > 0 && bytes > limit)
        return reader.read();
    QImage image = LargeBlockImage(size.width(), size.height(), format);
    if (image.isNull())
        return reader.read();
    // The block may have held another photograph: a decoder that stops early must not leave
    // its pixels in this one.
    image.fill(0);
    if (!reader.read(&image))
        return QImage();
    return image;
}

// Decodes, then hands the upright pixels to copy and turns them into target.
template <class Image, class Copy>
bool LoadOriented(Image& target, int orientation, ImageSource& source, Copy copy) {
    if (target.IsView() || !source.IsOpen())
        return false;
    const QImageIOHandler::Transformations stored = StoredTransformation(source);
    QImage decoded = Decode(source.Reader());
    if (decoded.isNull() || source.IsTruncated())
        return false;
    if (stored != QImageIOHandler::TransformationNone)
        decoded = Upright(std::move(decoded), stored);
    // Scan lines are read as 0xAARRGGBB words; every other layout (paletted, gray, 24-bit,
    // byte-ordered or premultiplied 32-bit) is converted first. Alpha is ignored.
    if (decoded.format() != QImage::Format_RGB32 && decoded.format() != QImage::Format_ARGB32)
        decoded = decoded.convertToFormat(QImage::Format_RGB32, Qt::AutoColor);
    if (decoded.isNull())
        return false;
    const int W = decoded.width(), H = decoded.height();
    bool turned = IsTurned(orientation);
    if (!turned && orientation != kOrientation180) {
        target.Resize(W, H);
        copy(decoded, target);
        return true;
    }
    Image upright(W, H);
    copy(decoded, upright);
    decoded = QImage();
    target.Resize(turned ? H : W, turned ? W : H);
    if (orientation == kOrientationCw90)
        upright.Rotate90(target);
    else if (orientation == kOrientation180)
        upright.Rotate180(target);
    else
        upright.Rotate270(target);
    return true;
}

void CopyColour(const QImage& decoded, ImgRGB& target) { CopyQImageInto(decoded, target); }
void CopyGray(const QImage& decoded, ImgFLOAT& target) { CopyQImageGrayInto(decoded, target); }

// A JPEG decoded at 1/2, 1/4 or 1/8 of its size by the decoder itself (it skips the transform's
// finer coefficients, a low-pass of its own): the largest reduction that keeps the upright
// image at least minimumWidth wide. Other formats decode whole.
void ReduceWhileDecoding(ImageSource& source, int orientation, int minimumWidth) {
    if (!source.IsOpen())
        return;
    QImageReader& reader = source.Reader();
    if (reader.format() != "jpeg")
        return;
    const QSize size = reader.size();
    if (!size.isValid())
        return;
    const bool turned = IsTurned(orientation) != StoredTurned(StoredTransformation(source));
    const int width = turned ? size.height() : size.width();
    for (int d : {8, 4, 2})
        if ((width + d - 1) / d >= minimumWidth) {
            // The decoder's own output size for 1/d: every side rounded up.
            reader.setScaledSize(QSize((size.width() + d - 1) / d, (size.height() + d - 1) / d));
            return;
        }
}

bool ReadSize(ImageSource& source, int orientation, int* width, int* height) {
    if (!source.IsOpen())
        return false;
    QImageReader& reader = source.Reader();
    QSize size = reader.size();
    // For GIF the header's size and the decoded size can differ: Qt's header scan and its
    // decoder treat a logical screen much larger than the first frame differently. What
    // counts is the size the file loads with, so a GIF is decoded (they are rare and small).
    if (reader.format() == "gif")
        size = reader.read().size();
    else if (!reader.canRead())
        return false;
    if (!size.isValid() || size.width() <= 0 || size.height() <= 0)
        return false;
    const bool turned = IsTurned(orientation) != StoredTurned(StoredTransformation(source));
    *width = turned ? size.height() : size.width();
    *height = turned ? size.width() : size.height();
    return true;
}

}  // namespace

bool LoadImageFile(ImgRGB& target, int orientation, const QString& path) {
    ImageSource source(path);
    return LoadOriented(target, orientation, source, CopyColour);
}

bool LoadImageFile(ImgRGB& target, int orientation, const char* path) {
    ImageSource source(path);
    return LoadOriented(target, orientation, source, CopyColour);
}

bool LoadImageFileReduced(ImgRGB& target, int orientation, const char* path, int minimumWidth) {
    ImageSource source(path);
    ReduceWhileDecoding(source, orientation, minimumWidth);
    return LoadOriented(target, orientation, source, CopyColour);
}

bool LoadImageFileGray(ImgFLOAT& target, int orientation, const QString& path) {
    ImageSource source(path);
    return LoadOriented(target, orientation, source, CopyGray);
}

bool LoadImageFileGray(ImgFLOAT& target, int orientation, const char* path) {
    ImageSource source(path);
    return LoadOriented(target, orientation, source, CopyGray);
}

bool ReadImageFileSize(const QString& path, int orientation, int* width, int* height) {
    ImageSource source(path);
    return ReadSize(source, orientation, width, height);
}

bool ReadImageFileSize(const char* path, int orientation, int* width, int* height) {
    ImageSource source(path);
    return ReadSize(source, orientation, width, height);
}
