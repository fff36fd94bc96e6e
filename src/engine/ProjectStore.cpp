#include "engine/ProjectStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <filesystem>
#include <map>

#include "engine/ProjectPaths.h"
#include "image/ImageFile.h"
#include "image/ImageSource.h"

using namespace Zelvo;

namespace {

void NewProjectDocument(XmlDocument& document) {
    document.Reset("VedoraProject");
    document.Root()->Attribute("Version", true)->Set("1");
    XmlElement* panorama = document.Root()->FindChild("Panorama", true);
    panorama->Attribute("name", true)->Set("panorama");
    panorama->FindChild("Images", true);
}

// Sizes and "%d: " labels of every Image, as the window sets them after loading pictures.
bool FillImageSizes(XmlDocument& document, int rotation, std::string* message) {
    XmlElement* panorama = document.Root()->FindDescendant("Panorama", "name", "panorama", true);
    std::vector<XmlElement*> list = panorama->FindChild("Images", true)->ChildElements("Image");
    for (size_t k = 0; k < list.size(); ++k) {
        XmlAttribute* path = list[k]->Attribute("path", false);
        if (!path) {
            *message = "Bad image attribute";
            return false;
        }
        int w, h;
        if (!ProjectStore::ImageSize(path->Value().c_str(), rotation, &w, &h)) {
            *message = std::string("cannot read image ") + path->Value().c_str();
            return false;
        }
        list[k]->Attribute("w", true)->SetInt(w);
        list[k]->Attribute("h", true)->SetInt(h);
        list[k]->Attribute("item", true)->Set(Chars::Format("%d: ", static_cast<int>(k)) + path->Value().FileName());
    }
    return true;
}

// "./a.jpg" and "a.jpg" alike; a name that is not valid UTF-8 is cleaned by its bytes.
std::string CleanPath(const std::string& path) {
    if (NameSurvivesQString(path.c_str()))
        return QFile::encodeName(QDir::cleanPath(QFile::decodeName(path.c_str()))).toStdString();
    std::string clean = std::filesystem::path(path).lexically_normal().string();
    if (clean.size() > 1 && clean.back() == '/')
        clean.pop_back();
    return clean;
}

}  // namespace

bool ProjectStore::ImageSize(const std::string& path, int rotation, int* width, int* height) {
    return ReadImageFileSize(path.c_str(), rotation, width, height);
}

bool ProjectStore::Fail(const std::string& why) {
    lastError = why;
    NewProjectDocument(document);
    engine.Reset();
    engine.SetDirty(false);
    return false;
}

bool ProjectStore::Load(const std::string& path) {
    lastError.clear();
    if (!LoadWithChecksum(document, path.c_str()))
        return Fail("The project could not be loaded (missing, damaged or not a project): " + path);
    XmlElement* panorama = document.Root()->FindDescendant("Panorama", "name", "panorama", true);
    if (!CheckImageCount(panorama->FindChild("Images", true)->ChildElements("Image").size(), ": " + path))
        return Fail(lastError);
    int rotation = panorama->Attribute("sourceImageRotation", true)->ToInt(0, false, 0, 3);
    ImagePathsFromFile(document, path);
    std::string why;
    if (!FillImageSizes(document, rotation, &why))
        return Fail(why);
    if (!engine.ReadFrom(document, "panorama"))
        return Fail(engine.LastError().empty() ? "The project could not be loaded" : engine.LastError());
    return true;
}

bool ProjectStore::CheckImageCount(size_t count, const std::string& where) {
    if (count <= static_cast<size_t>(PanoramaEngine::kMaxImages))
        return true;
    lastError = PanoramaEngine::kTooManyImages + where;
    return false;
}

bool ProjectStore::Save(const std::string& path, const Decoration& decorate) {
    lastError.clear();
    if (!document.Root())
        NewProjectDocument(document);
    XmlDocument file;
    if (!file.Parse(Serialise(document))) {
        lastError = "cannot write the project " + path + " (its document does not serialise)";
        return false;
    }
    engine.WriteTo(file, "panorama");
    if (decorate)
        decorate(file);
    ImagePathsToFile(file, path);
    std::string why;
    if (!SaveWithChecksum(file, path.c_str(), &why)) {
        engine.SetDirty(true);
        lastError = why.empty() ? "cannot write the project " + path : why;
        return false;
    }
    return true;
}

bool ProjectStore::Create(const std::vector<std::string>& paths) {
    lastError.clear();
    notes.clear();
    NewProjectDocument(document);
    engine.Reset();
    XmlElement* list = document.Root()->FindChild("Panorama", false)->FindChild("Images", true);
    // One photograph under two spellings (a.jpg and ./a.jpg, or a link) would be matched with
    // itself: it is used once.
    std::map<std::string, std::string> canonical;
    for (const std::string& p : paths) {
        // "./a.jpg" and "a.jpg" are stored alike, so that a path reads back as it was written.
        Chars path(CleanPath(p).c_str());
        path.ToForwardSlashes();
        if (list->FindDescendant("Image", "path", path.c_str(), false))
            continue;  // the same file twice is one image
        std::error_code error;
        const std::string identity = std::filesystem::canonical(p, error).string();
        if (!error && !identity.empty()) {
            auto [at, added] = canonical.emplace(identity, p);
            if (!added) {
                notes.push_back(p + " is the same photograph as " + at->second + "; it is used once");
                continue;
            }
        }
        auto* image = new XmlElement("Image");
        list->AppendChild(image);
        image->Attribute("path", true)->Set(path);
    }
    if (!CheckImageCount(list->ChildElements("Image").size(), ""))
        return false;
    if (!FillImageSizes(document, engine.GetSourceImageRotation(), &lastError))
        return false;
    try {
        engine.SyncImages(document);
    } catch (const char* message) {
        lastError = message;
        return false;
    }
    return true;
}
