#include "xml/FilePaths.h"

namespace Zelvo {

std::string FolderOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string BesidePath(const std::string& path, const std::string& name) {
    if (!name.empty() && name[0] == '/')
        return name;
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return name;
    return path.substr(0, slash + 1) + name;
}

}  // namespace Zelvo
