#include "xml/ReplacedFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "xml/FileErrors.h"
#include "xml/SaveFaults.h"

namespace Zelvo {

namespace {

const char* KindOf(mode_t mode) {
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    if (S_ISFIFO(mode))
        return "a pipe";
    if (S_ISSOCK(mode))
        return "a socket";
    return "something else";
}

}  // namespace

bool InspectReplacedFile(const std::string& target, ReplacedFile* old, std::string* reason) {
    *old = ReplacedFile();
    if (::stat(target.c_str(), &old->info) != 0) {
        if (errno == ENOENT)
            return true;
        *reason = DescribeFileError(errno);
        return false;
    }
    old->exists = true;
    if (S_ISDIR(old->info.st_mode)) {
        *reason = "it is a folder";
        return false;
    }
    if (!S_ISREG(old->info.st_mode)) {
        *reason = std::string("it is ") + KindOf(old->info.st_mode) + ", not a regular file";
        return false;
    }
    if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
        *reason = errno == EACCES ? "the file is read-only" : DescribeFileError(errno);
        return false;
    }
    return true;
}

bool TakeOverOwnerAndMode(int fd, const struct stat& old) {
    if (!SaveStepAllowed(SaveStep::SetOwnerAndMode))
        return false;
    if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
        if (errno != EPERM && errno != EINVAL)
            return false;
        if (::fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0 && errno != EPERM && errno != EINVAL)
            return false;
    }
    return ::fchmod(fd, old.st_mode & 07777) == 0;
}

}  // namespace Zelvo
