#include "cli/GroupOutputs.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>

#include "cli/OutputFiles.h"

namespace {

// The folder that holds folder: "." for a bare name, whatever slashes end it.
std::string ParentOf(const std::string& folder) {
    std::string path = folder;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string WritableFolderProblem(const std::string& folder) {
    struct stat info {};
    if (stat(folder.c_str(), &info) != 0)
        return "the folder " + folder + " cannot be reached (" + std::strerror(errno) + ")";
    if (!S_ISDIR(info.st_mode))
        return folder + " is not a folder";
    if (access(folder.c_str(), W_OK | X_OK) != 0)
        return "no permission to write in the folder " + folder + " (" + std::strerror(errno) + ")";
    return std::string();
}

std::string Lowercase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

std::string WithoutSuffix(const std::string& path) {
    const std::string stem = std::filesystem::path(path).stem().string();
    return stem.empty() ? "panorama" : stem;
}

}  // namespace

std::string GroupFolderProblem(const std::string& folder) {
    struct stat info {};
    if (stat(folder.c_str(), &info) == 0 || errno != ENOENT)
        return WritableFolderProblem(folder);
    const std::string parent = ParentOf(folder);
    if (stat(parent.c_str(), &info) != 0)
        return "the folder " + folder + " does not exist, nor does " + parent + " to make it in";
    const std::string problem = WritableFolderProblem(parent);
    return problem.empty() ? problem : "cannot make the folder " + folder + ": " + problem;
}

bool MakeGroupFolder(const std::string& folder, bool* made, std::string* why) {
    *made = false;
    if (mkdir(folder.c_str(), 0777) == 0) {
        *made = true;
        return true;
    }
    if (errno == EEXIST) {
        *why = WritableFolderProblem(folder);
        return why->empty();
    }
    *why = "cannot make the folder " + folder + " (" + std::strerror(errno) + ")";
    return false;
}

std::vector<std::string> GroupFileNames(const std::vector<std::string>& firstPhotographs) {
    std::vector<std::string> names;
    std::set<std::string> taken;
    for (const std::string& photograph : firstPhotographs) {
        const std::string base = WithoutSuffix(photograph);
        std::string name = base;
        for (int k = 2; taken.count(Lowercase(name)) > 0; ++k)
            name = base + "-" + std::to_string(k);
        taken.insert(Lowercase(name));
        names.push_back(name);
    }
    return names;
}

std::string InFolder(const std::string& folder, const std::string& name) {
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

std::string GroupFileProblem(const std::string& path, const std::vector<std::string>& inputs, bool overwrite) {
    const std::string input = InputAt(path, inputs);
    if (!input.empty())
        return path + " would overwrite the input " + input + "; choose another folder";
    struct stat info {};
    if (!overwrite && lstat(path.c_str(), &info) == 0)
        return path + " exists; give --overwrite to replace it";
    const std::string problem = WriteProblem(path);
    return problem.empty() ? problem : "cannot write " + path + ": " + problem;
}
