#pragma once

#include <string>

namespace Zelvo {

// The folder part of a path: "." when it has none, "/" for a file in the root folder.
std::string FolderOf(const std::string& path);

// The last component of a path (the whole path when it has no '/').
std::string NameOf(const std::string& path);

// Where a name given relative to the folder of path points: an absolute name stays as it is.
std::string BesidePath(const std::string& path, const std::string& name);

}  // namespace Zelvo
