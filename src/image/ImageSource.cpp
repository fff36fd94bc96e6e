#include "image/ImageSource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFileInfo>

#include "image/ImageDataComplete.h"
#include "image/ImageFile.h"
#include "image/JpegIntegrity.h"

#include <atomic>
#include <cstring>

bool NameSurvivesQString(const char* path) { return QFile::encodeName(QFile::decodeName(path)) == QByteArray(path); }

QByteArray LowerSuffix(const char* path) {
    const char* name = std::strrchr(path, '/');
    name = name ? name + 1 : path;
    const char* dot = std::strrchr(name, '.');
    return dot ? QByteArray(dot + 1).toLower() : QByteArray();
}

namespace {

// Qt refuses to decode images above 128 MB of pixels by default (256 MB in later versions), a
// photograph of 32 to 64 megapixels. Panorama sources and saved panoramas are often larger; the limit stays as a
// guard against a header that claims gigapixels.
std::atomic<int> decodeLimitMegabytes{kDefaultImageDecodeLimitMegabytes};

void ApplyDecodeLimit() { QImageReader::setAllocationLimit(decodeLimitMegabytes.load(std::memory_order_relaxed)); }

}  // namespace

void SetImageDecodeLimitMegabytes(int megabytes) {
    decodeLimitMegabytes.store(megabytes, std::memory_order_relaxed);
    ApplyDecodeLimit();
}

ImageSource::ImageSource(const QString& path) {
    ApplyDecodeLimit();
    OpenByName(path);
}

bool ImageSource::IsTruncated() {
    QIODevice* device = reader.device();
    if (!device || !device->isOpen() || !device->seek(0))
        return false;
    const QByteArray bytes = device->readAll();
    return !JpegDataComplete(bytes) || !BmpDataComplete(bytes) || !GifDataComplete(bytes);
}

ImageSource::ImageSource(const char* path) {
    ApplyDecodeLimit();
    if (!path)
        return;
    if (NameSurvivesQString(path))
        OpenByName(QFile::decodeName(path));
    else
        OpenByBytes(path);
}

void ImageSource::OpenByName(const QString& path) {
    open = QFileInfo(path).isFile();
    if (open)
        reader.setFileName(path);
}

// The decoder sees an open file without a name, so the format is told from the content, as
// Qt does for a named file whose suffix does not fit; formats without a signature are tried
// by the suffix.
void ImageSource::OpenByBytes(const char* path) {
    int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
        !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return;
    }
    reader.setDevice(&file);
    if (QImageReader::imageFormat(&file).isEmpty())
        reader.setFormat(LowerSuffix(path));
    open = true;
}
