#include "image/ImageSource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFileInfo>

#include <cstring>

bool NameSurvivesQString(const char* path) {
    return QFile::encodeName(QFile::decodeName(path)) == QByteArray(path);
}

QByteArray LowerSuffix(const char* path) {
    const char* name = std::strrchr(path, '/');
    name = name ? name + 1 : path;
    const char* dot = std::strrchr(name, '.');
    return dot ? QByteArray(dot + 1).toLower() : QByteArray();
}

ImageSource::ImageSource(const QString& path) {
    OpenByName(path);
}

ImageSource::ImageSource(const char* path) {
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
