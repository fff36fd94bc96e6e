#include "image/SaveImageWhole.h"

#include <sys/statvfs.h>

#include <algorithm>

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>

#include "image/ImageFile.h"
#include "image/ImageSource.h"
#include "image/PartialFile.h"
#include "image/RowImageWriter.h"

namespace {

bool DiskFullAt(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    struct statvfs disk {};
    return statvfs(folder.c_str(), &disk) == 0 && disk.f_bavail == 0;
}

// Qt reaches a file through a QString name, which cannot hold a name that is not valid UTF-8:
// it would write another file and leave this one empty. The row writer goes by the bytes and
// gives the same pixels.
bool SaveByBytes(const ImgRGB& image, const std::string& path, int quality, const std::function<bool()>& keep,
                 std::string* why) {
    RowWriterOptions options;
    options.quality = std::clamp(quality, 1, 100);  // as Qt's writer takes it
    auto writer = RowImageWriter::Open(path, image.width, image.height, options, why);
    if (!writer)
        return false;
    for (int y = 0; y < image.height; ++y)
        if (!writer->WriteRows(image.Row(y), 1, 0)) {
            *why = writer->Error();
            return false;
        }
    return writer->Finish(keep, why);
}

}  // namespace

bool SaveImageWhole(const ImgRGB& image, const std::string& path, int quality, const std::function<bool()>& keep,
                    std::string* why) {
    PartialFile file;
    if (!file.Create(path, why))
        return false;
    if (!NameSurvivesQString(file.Name().c_str())) {
        file.Discard();
        return SaveByBytes(image, path, quality, keep, why);
    }
    // Qt's writer reports no cause: a full disk is the one that can be told afterwards.
    if (!SaveImageFile(image, QFile::decodeName(file.Name().c_str()), quality)) {
        *why = "cannot write the image " + path + (DiskFullAt(file.Name()) ? " (the disk is full)" : "");
        return false;
    }
    return file.Commit(keep, why);
}

bool SaveTextWhole(const std::string& text, const std::string& path, std::string* why) {
    PartialFile file;
    return file.Create(path, why) && file.Append(text.data(), text.size(), why) && file.Commit({}, why);
}

bool UnwritableImageSuffix(const std::string& path) {
    const QByteArray suffix = QFileInfo(QFile::decodeName(path.c_str())).suffix().toLower().toLatin1();
    return !suffix.isEmpty() && QImageReader::supportedImageFormats().contains(suffix) &&
           !QImageWriter::supportedImageFormats().contains(suffix);
}
