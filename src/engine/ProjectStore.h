#pragma once

#include <string>
#include <vector>

#include "engine/PanoramaEngine.h"
#include "xml/XmlDocument.h"

// Loading and saving a whole project without the window: the image sizes come from the file
// headers (no pixel decoding), turned by the project's source image rotation, and fill `w`
// and `h` of every Image as the window does. Each operation returns false with the reason in
// LastError().
class ProjectStore {
public:
    ProjectStore(PanoramaEngine& engine, Zelvo::XmlDocument& document) : engine(engine), document(document) {}

    // A failed load leaves a new, empty project in the engine and the document.
    bool Load(const std::string& path);
    bool Save(const std::string& path);
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

    PanoramaEngine& engine;
    Zelvo::XmlDocument& document;
    std::string lastError;
    std::vector<std::string> notes;
};
