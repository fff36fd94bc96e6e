#include "cli/OutputFiles.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace {

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

std::string WriteProblem(const std::string& path) {
    const std::string folder = FolderOf(path);
    struct stat info {};
    if (stat(folder.c_str(), &info) != 0)
        return "the folder " + folder + " does not exist";
    if (!S_ISDIR(info.st_mode))
        return folder + " is not a folder";
    if (access(folder.c_str(), W_OK | X_OK) != 0)
        return "no permission to write in the folder " + folder + " (" + std::strerror(errno) + ")";
    if (stat(path.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode))
            return path + " is a folder";
        if (!S_ISREG(info.st_mode))
            return path + " is not a regular file";
        if (access(path.c_str(), W_OK) != 0)
            return path + " is read-only";
    }
    return std::string();
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat x {
    }, y{};
    if (stat(a.c_str(), &x) == 0 && stat(b.c_str(), &y) == 0)
        return x.st_dev == y.st_dev && x.st_ino == y.st_ino;
    // Files that do not exist yet are the same when their paths lead to the same place
    // ("s.jpg", "./s.jpg", a link to the folder).
    std::error_code ea, eb;
    const std::filesystem::path pa = std::filesystem::weakly_canonical(a, ea),
                                pb = std::filesystem::weakly_canonical(b, eb);
    return !ea && !eb && pa == pb;
}

std::string InputAt(const std::string& path, const std::vector<std::string>& inputs) {
    for (const std::string& input : inputs)
        if (input == path || SameFile(input, path))
            return input;
    return std::string();
}

std::string WithProjectSuffix(const std::string& path) {
    const std::string suffix = ".vdp";
    if (path.size() >= suffix.size() && path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0)
        return path;
    return path + suffix;
}
