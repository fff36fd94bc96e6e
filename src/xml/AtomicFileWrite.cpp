#include "xml/AtomicFileWrite.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "xml/FileErrors.h"
#include "xml/FilePaths.h"
#include "xml/ReplacedFile.h"
#include "xml/SaveFaults.h"
#include "xml/SaveTarget.h"
#include "xml/TemporaryFile.h"

namespace Zelvo {

namespace {

std::string Cannot(const std::string& target, const std::string& reason) {
    return "Cannot save " + Quoted(target) + ": " + reason;
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t written = SaveStepAllowed(SaveStep::Write) ? ::write(fd, bytes.data(), bytes.size()) : -1;
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

// The descriptor is closed even when the step is made to fail.
bool Close(int fd) {
    bool allowed = SaveStepAllowed(SaveStep::Close);
    int injected = errno;
    if (::close(fd) != 0)
        return false;
    errno = injected;
    return allowed;
}

// Sets up, fills, flushes and closes the temporary file; the descriptor is closed on every path.
bool WriteTemporary(int fd, const ReplacedFile& old, std::initializer_list<std::string_view> pieces,
                    const std::string& target, std::string* why) {
    if (old.exists && !TakeOverOwnerAndMode(fd, old.info)) {
        Fail(why, Cannot(target, DescribeFileError(errno)));
        ::close(fd);
        return false;
    }
    bool ok = true;
    for (std::string_view piece : pieces)
        if (ok && !WriteAll(fd, piece))
            ok = Fail(why, Cannot(target, DescribeFileError(errno)));
    if (ok && !(SaveStepAllowed(SaveStep::Flush) && ::fsync(fd) == 0))
        ok = Fail(why, Cannot(target, DescribeFileError(errno)));
    if (!Close(fd) && ok)
        ok = Fail(why, Cannot(target, DescribeFileError(errno)));
    return ok;
}

// Makes the rename itself durable. Some file systems cannot flush a folder (EINVAL); any
// other failure is reported although the new file is already in place.
bool SyncFolder(const std::string& target, std::string* why) {
    if (!SaveStepAllowed(SaveStep::SyncFolder))
        return Fail(why, Quoted(target) +
                             " was saved, but its folder could not be flushed to disk: " + DescribeFileError(errno));
    int dir = ::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return Fail(why, Quoted(target) +
                             " was saved, but its folder could not be opened to flush it: " + DescribeFileError(errno));
    bool ok = ::fsync(dir) == 0 || errno == EINVAL;
    int error = errno;
    ::close(dir);
    return ok || Fail(why, Quoted(target) +
                               " was saved, but its folder could not be flushed to disk: " + DescribeFileError(error));
}

}  // namespace

bool WriteFileAtomically(const std::string& path, std::initializer_list<std::string_view> pieces, std::string* why) {
    if (path.empty())
        return Fail(why, "No file name was given");
    std::string target;
    ReplacedFile old;
    std::string refusal;
    if (!ResolveSaveTarget(path, &target, why))
        return false;
    if (!InspectReplacedFile(target, &old, &refusal))
        return Fail(why, Cannot(target, refusal));
    RemoveStaleTemporaries(target);
    std::string temporary;
    int fd = CreateTemporaryBeside(target, old.exists ? (old.info.st_mode & 0777) : 0666, &temporary, why);
    if (fd < 0)
        return false;
    bool ok = WriteTemporary(fd, old, pieces, target, why);
    if (ok && !(SaveStepAllowed(SaveStep::Rename) && std::rename(temporary.c_str(), target.c_str()) == 0))
        ok = Fail(why, Cannot(target, DescribeFileError(errno)));
    if (!ok) {
        ::unlink(temporary.c_str());
        return false;
    }
    return SyncFolder(target, why);
}

}  // namespace Zelvo
