#include "xml/FileErrors.h"

#include <cerrno>
#include <cstring>

namespace Zelvo {

std::string DescribeFileError(int error) {
    switch (error) {
    case EACCES:
    case EPERM: return "permission denied";
    case ENOENT: return "no such file or folder";
    case ENOTDIR: return "a part of the path is not a folder";
    case EISDIR: return "it is a folder";
    case ENOSPC: return "the disk is full";
    case EDQUOT: return "the disk quota is exhausted";
    case EROFS: return "the disk is read-only";
    case ENAMETOOLONG: return "the name is too long";
    case ELOOP: return "too many levels of symbolic links";
    case EIO: return "input/output error (the disk or the network failed)";
    default: return std::strerror(error);
    }
}

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

bool Fail(std::string* why, const std::string& message) {
    if (why)
        *why = message;
    return false;
}

}  // namespace Zelvo
