#pragma once

#include <string>
#include <vector>

#include "project/PanoramaEngine.h"
#include "xml/XmlDocument.h"

// Loading and saving a whole project without the window: the image sizes come from the file
// headers (no pixel decoding), turned by the project's source image rotation, and fill `w`
// and `h` of every Image as the window does.
class ProjectStore {
public:
    // False with a message naming the cause (and a new, empty project) when the file cannot
    // be used.
    static bool Load(PanoramaEngine& engine, Zelvo::XmlDocument& document, const std::string& path,
                     std::string* message);
    static bool Save(PanoramaEngine& engine, Zelvo::XmlDocument& document, const std::string& path);
    // A new project document holding the given images, their sizes read from the headers.
    // False with a message naming the first image that cannot be read.
    static bool Create(PanoramaEngine& engine, Zelvo::XmlDocument& document, const std::vector<std::string>& paths,
                       std::string* message);
    // Size of an image file as loaded with the rotation; false when the file is not an image.
    static bool ImageSize(const std::string& path, int rotation, int* width, int* height);
};
