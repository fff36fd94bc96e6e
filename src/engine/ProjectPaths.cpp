#include "engine/ProjectPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <filesystem>
#include <functional>

#include "image/ImageSource.h"

using namespace Zelvo;
namespace fs = std::filesystem;

namespace {

// Maps one relative path (as the file system's bytes) to another.
using PathMap = std::function<std::string(const std::string&)>;

void MapAttribute(XmlElement* element, const char* name, const PathMap& map) {
    XmlAttribute* attribute = element ? element->Attribute(name, false) : nullptr;
    if (!attribute || attribute->Value().IsEmpty())
        return;
    const std::string path = attribute->Value().c_str();
    if (fs::path(path).is_absolute())
        return;
    attribute->Set(map(path).c_str());
}

// Re-roots a relative path from one folder to another. Names that are valid UTF-8 go through
// Qt, as they always have; the others (Latin-1 names from an old card or archive) through the
// byte-exact file-system paths, which a QString would mangle.
std::string Reroot(const std::string& path, const std::string& projectPath, bool toFile) {
    if (NameSurvivesQString(path.c_str()) && NameSurvivesQString(projectPath.c_str())) {
        const QDir folder = QFileInfo(QFile::decodeName(projectPath.c_str())).absoluteDir();
        const QString name = QFile::decodeName(path.c_str());
        const QString mapped = toFile
                                   ? folder.relativeFilePath(QDir::cleanPath(QDir::current().absoluteFilePath(name)))
                                   : QDir::current().relativeFilePath(QDir::cleanPath(folder.absoluteFilePath(name)));
        return QFile::encodeName(mapped).toStdString();
    }
    std::error_code error;
    const fs::path here = fs::current_path(error);
    const fs::path folder = fs::absolute(fs::path(projectPath), error).parent_path();
    if (toFile)
        return (here / path).lexically_normal().lexically_relative(folder).string();
    return (folder / path).lexically_normal().lexically_relative(here).string();
}

void MapImagePaths(XmlDocument& document, const PathMap& map) {
    XmlElement* panorama = document.FindElement("Panorama", nullptr, false);
    if (!panorama)
        return;
    MapAttribute(panorama, "referenceImagePath", map);
    if (XmlElement* images = panorama->FindChild("Images", false))
        for (XmlElement* image : images->ChildElements("Image"))
            MapAttribute(image, "path", map);
    if (XmlElement* pairs = panorama->FindChild("Combinations", false))
        for (XmlElement* pair : pairs->ChildElements("Combination")) {
            MapAttribute(pair, "path1", map);
            MapAttribute(pair, "path2", map);
        }
}

}  // namespace

void ImagePathsFromFile(XmlDocument& document, const std::string& projectPath) {
    MapImagePaths(document, [&](const std::string& path) { return Reroot(path, projectPath, false); });
}

void ImagePathsToFile(XmlDocument& document, const std::string& projectPath) {
    MapImagePaths(document, [&](const std::string& path) { return Reroot(path, projectPath, true); });
}
