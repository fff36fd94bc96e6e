#pragma once

#include <string>

#include "xml/XmlDocument.h"

// A project file names its photographs relative to the project's own folder (or absolutely),
// so that a project folder can be moved, or opened from anywhere. In memory, paths are used as
// they are: absolute, or relative to the current folder as a user gives them on a command
// line. These turn every image path of a project document (the Image paths, the pairs'
// path1 and path2 and the reference image) from one form into the other; absolute paths stay.
void ImagePathsFromFile(Zelvo::XmlDocument& document, const std::string& projectPath);
void ImagePathsToFile(Zelvo::XmlDocument& document, const std::string& projectPath);
