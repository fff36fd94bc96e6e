#include "image/ImageSource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFileInfo>

#include "image/JpegIntegrity.h"

#include <cstring>

bool NameSurvivesQString(const char* path) { return QFile::encodeName(QFile::decodeName(path)) == QByteArray(path); }

QByteArray LowerSuffix(const char* path) {
    const char* name = std::strrchr(path, '/');
    name = name ? name + 1 : path;
    const char* dot = std::strrchr(name, '.');
    return dot ? QByteArray(dot + 1).toLower() : QByteArray();
}

namespace {

// Qt refuses to decode images above 128 MB of pixels by default, a photograph of about 36
// megapixels. Panorama sources and saved panoramas are often larger; the limit stays as a
// guard against a header that claims gigapixels.
constexpr int kDecodeLimitMegabytes = 4096;

void RaiseDecodeLimit() {
    static const bool raised = [] {
        QImageReader::setAllocationLimit(kDecodeLimitMegabytes);
        return true;
    }();
    (void)raised;
}

}  // namespace

ImageSource::ImageSource(const QString& path) {
    RaiseDecodeLimit();
    OpenByName(path);
}

bool ImageSource::IsTruncatedJpeg() {
    QIODevice* device = reader.device();
    if (!device || !device->isOpen() || !device->seek(0))
        return false;
    return !JpegDataComplete(device->readAll());
}

ImageSource::ImageSource(const char* path) {
    RaiseDecodeLimit();
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
