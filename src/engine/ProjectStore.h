#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/PanoramaEngine.h"
#include "xml/XmlDocument.h"

// The one way a project is loaded and saved, by the window and the command line alike: the
// image sizes come from the file headers (no pixel decoding), turned by the project's source
// image rotation, and fill `w` and `h` of every Image. Each operation returns false with the
// reason in LastError().
class ProjectStore {
public:
    ProjectStore(PanoramaEngine& engine, Zelvo::XmlDocument& document) : engine(engine), document(document) {}

    // A failed load leaves a new, empty project in the engine and the document.
    bool Load(const std::string& path);
    // Writes the project from a copy of the document, so that the open document keeps its
    // elements (what the window's lists show); decorate adds what only the caller knows to the
    // copy (the window: where its pictures stand). A failed save keeps the old file and leaves
    // the project dirty.
    using Decoration = std::function<void(Zelvo::XmlDocument& file)>;
    bool Save(const std::string& path, const Decoration& decorate = {});
    // A new project document holding the given images, their sizes read from the headers;
    // the same file given twice is one image.
    bool Create(const std::vector<std::string>& paths);
    const std::string& LastError() const { return lastError; }
    // What the last operation did besides its work that the user should know (one photograph
    // given twice, for example).
    const std::vector<std::string>& Notes() const { return notes; }

    // Size of an image file as loaded with the rotation; false when the file is not an image.
    static bool ImageSize(const std::string& path, int rotation, int* width, int* height);

private:
    bool Fail(const std::string& why);
    // The project's photographs within the engine's limit; false (with the reason) otherwise.
    bool CheckImageCount(size_t count, const std::string& where);

    PanoramaEngine& engine;
    Zelvo::XmlDocument& document;
    std::string lastError;
    std::vector<std::string> notes;
};
