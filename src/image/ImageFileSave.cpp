#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>

#include "image/ImageFile.h"
#include "image/ImageSource.h"
#include "image/LargeBlockImage.h"
#include "image/ParallelFor.h"

namespace {

// The formats chosen by the file name's suffix; any other name is written as JPEG.
const char* const kBySuffix[] = {"jpg", "jpeg", "bmp", "png", "tif", "tiff", "gif"};

bool KnownSuffix(const QByteArray& suffix) {
    for (const char* known : kBySuffix)
        if (suffix == known)
            return true;
    return false;
}

QImage ToQImage(const ImgRGB& image) {
    QImage out = LargeBlockImage(image.width, image.height, QImage::Format_RGB32);
    if (out.isNull())
        out = QImage(image.width, image.height, QImage::Format_RGB32);
    if (out.isNull())
        return out;
    uchar* bits = out.bits();
    const qsizetype bytesPerLine = out.bytesPerLine();
    ParallelRows(RowBands(image.height), [&](int, int begin, int end) {
        for (int y = begin; y < end; ++y) {
            const Rgb* in = image.Row(y);
            auto* line = reinterpret_cast<uint32_t*>(bits + y * bytesPerLine);
            for (int x = 0; x < image.width; ++x)
                line[x] = 0xFF000000u | uint32_t(in[x].r) << 16 | uint32_t(in[x].g) << 8 | in[x].b;
        }
    });
    return out;
}

}  // namespace

bool SaveImageFile(const ImgRGB& image, const QString& path) { return SaveImageFile(image, path, 100); }

bool SaveImageFile(const ImgRGB& image, const QString& path, int quality) {
    if (!image.HasPixels())
        return false;
    QImage out = ToQImage(image);
    if (out.isNull())
        return false;
    if (KnownSuffix(QFileInfo(path).suffix().toLower().toLatin1()))
        return out.save(path, nullptr, quality);
    return out.save(path, "JPG", quality);
}

// A name a QString cannot hold is created by its bytes and handed to Qt's writer as an open
// file, with the format its suffix names. A format Qt cannot write (GIF) fails before the file
// is created.
bool SaveImageFile(const ImgRGB& image, const char* path) {
    if (!path)
        return false;
    if (NameSurvivesQString(path))
        return SaveImageFile(image, QFile::decodeName(path));
    QByteArray suffix = LowerSuffix(path);
    QByteArray format = KnownSuffix(suffix) ? suffix : QByteArray("jpg");
    if (!image.HasPixels() || !QImageWriter::supportedImageFormats().contains(format))
        return false;
    QImage out = ToQImage(image);
    if (out.isNull())
        return false;
    int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    QFile file;
    if (!file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    QImageWriter writer(&file, format);
    writer.setQuality(100);
    bool written = writer.write(out) && file.flush();
    file.close();
    return written;
}
