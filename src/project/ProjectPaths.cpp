#include "project/ProjectPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <functional>

using namespace Zelvo;

namespace {

using PathMap = std::function<QString(const QString&)>;

void MapAttribute(XmlElement* element, const char* name, const PathMap& map) {
    XmlAttribute* attribute = element ? element->Attribute(name, false) : nullptr;
    if (!attribute || attribute->Value().IsEmpty())
        return;
    const QString path = QFile::decodeName(attribute->Value().c_str());
    if (QDir::isAbsolutePath(path))
        return;
    attribute->Set(QFile::encodeName(map(path)).constData());
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

QDir ProjectFolder(const std::string& projectPath) {
    return QFileInfo(QFile::decodeName(projectPath.c_str())).absoluteDir();
}

}  // namespace

void ImagePathsFromFile(XmlDocument& document, const std::string& projectPath) {
    const QDir folder = ProjectFolder(projectPath);
    MapImagePaths(document, [&](const QString& path) {
        return QDir::current().relativeFilePath(QDir::cleanPath(folder.absoluteFilePath(path)));
    });
}

void ImagePathsToFile(XmlDocument& document, const std::string& projectPath) {
    const QDir folder = ProjectFolder(projectPath);
    MapImagePaths(document, [&](const QString& path) {
        return folder.relativeFilePath(QDir::cleanPath(QDir::current().absoluteFilePath(path)));
    });
}
