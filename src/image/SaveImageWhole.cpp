#include "image/SaveImageWhole.h"

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "image/ImageFile.h"

namespace {

mode_t CurrentUmask() {
    const mode_t mask = umask(0);
    umask(mask);
    return mask;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// A temporary name beside path that says what it is and keeps path's suffix, so that the
// image writer picks the same format.
std::string PartialName(const std::string& path, int* fd) {
    const std::string folder = FolderOf(path);
    const size_t slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.find_last_of('.');
    const std::string suffix = dot == std::string::npos ? std::string() : name.substr(dot);
    std::string pattern = folder + "/." + name + ".vedora-partial-XXXXXX" + suffix;
    *fd = mkstemps(pattern.data(), static_cast<int>(suffix.size()));
    return pattern;
}

bool Replace(const std::string& partial, const std::string& path, std::string* why) {
    // Keep the permission bits of a file that is replaced.
    struct stat old {};
    if (stat(path.c_str(), &old) == 0)
        chmod(partial.c_str(), old.st_mode & 07777);
    else
        chmod(partial.c_str(), 0666 & ~CurrentUmask());
    if (std::rename(partial.c_str(), path.c_str()) != 0) {
        *why = "cannot write " + path + " (" + std::strerror(errno) + ")";
        unlink(partial.c_str());
        return false;
    }
    return true;
}

}  // namespace

bool SaveImageWhole(const ImgRGB& image, const std::string& path, int quality, const std::function<bool()>& keep,
                    std::string* why) {
    int fd = -1;
    const std::string partial = PartialName(path, &fd);
    if (fd < 0) {
        *why = "cannot write " + path + " (" + std::strerror(errno) + ")";
        return false;
    }
    close(fd);
    if (!SaveImageFile(image, QFile::decodeName(partial.c_str()), quality)) {
        struct statvfs disk {};
        const bool full = statvfs(FolderOf(path).c_str(), &disk) == 0 && disk.f_bavail == 0;
        *why = "cannot write the image " + path + (full ? " (the disk is full)" : "");
        unlink(partial.c_str());
        return false;
    }
    if (keep && !keep()) {
        unlink(partial.c_str());
        *why = "interrupted";
        return false;
    }
    return Replace(partial, path, why);
}

bool SaveTextWhole(const std::string& text, const std::string& path, std::string* why) {
    int fd = -1;
    const std::string partial = PartialName(path, &fd);
    if (fd < 0) {
        *why = "cannot write " + path + " (" + std::strerror(errno) + ")";
        return false;
    }
    size_t written = 0;
    while (written < text.size()) {
        ssize_t n = write(fd, text.data() + written, text.size() - written);
        if (n <= 0) {
            *why = "cannot write " + path + " (" + std::strerror(errno) + ")";
            close(fd);
            unlink(partial.c_str());
            return false;
        }
        written += static_cast<size_t>(n);
    }
    if (fsync(fd) != 0 || close(fd) != 0) {
        *why = "cannot write " + path + " (" + std::strerror(errno) + ")";
        unlink(partial.c_str());
        return false;
    }
    return Replace(partial, path, why);
}

bool UnwritableImageSuffix(const std::string& path) {
    const QByteArray suffix = QFileInfo(QFile::decodeName(path.c_str())).suffix().toLower().toLatin1();
    return !suffix.isEmpty() && QImageReader::supportedImageFormats().contains(suffix) &&
           !QImageWriter::supportedImageFormats().contains(suffix);
}
