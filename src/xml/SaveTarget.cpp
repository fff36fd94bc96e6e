#include "xml/SaveTarget.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "xml/FileErrors.h"
#include "xml/FilePaths.h"

namespace Zelvo {

namespace {

// The kernel gives up on a path after this many links as well.
constexpr int kMaxLinks = 40;

bool ReadLink(const std::string& link, std::string* contents) {
    std::vector<char> buffer(256);
    for (;;) {
        ssize_t n = ::readlink(link.c_str(), buffer.data(), buffer.size());
        if (n < 0)
            return false;
        if (static_cast<size_t>(n) < buffer.size()) {
            contents->assign(buffer.data(), static_cast<size_t>(n));
            return true;
        }
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace

bool ResolveSaveTarget(const std::string& path, std::string* target, std::string* why) {
    std::string current = path;
    for (int hop = 0; hop <= kMaxLinks; ++hop) {
        struct stat info;
        if (::lstat(current.c_str(), &info) != 0) {
            // A file still to be created; a missing folder is reported when the save gets there.
            if (errno == ENOENT) {
                *target = current;
                return true;
            }
            return Fail(why, "Cannot save " + Quoted(path) + ": " + DescribeFileError(errno));
        }
        if (!S_ISLNK(info.st_mode)) {
            *target = current;
            return true;
        }
        std::string next;
        if (!ReadLink(current, &next))
            return Fail(why, "Cannot follow the link " + Quoted(current) + ": " + DescribeFileError(errno));
        current = BesidePath(current, next);
    }
    return Fail(why, "Cannot save " + Quoted(path) + ": " + DescribeFileError(ELOOP));
}

}  // namespace Zelvo
