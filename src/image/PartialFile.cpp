#include "image/PartialFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "xml/FilePaths.h"
#include "xml/ReplacedFile.h"
#include "xml/SaveFaults.h"
#include "xml/SaveTarget.h"
#include "xml/TemporaryFile.h"

namespace {

std::string CannotWrite(const std::string& path, const std::string& reason) {
    return "cannot write " + path + " (" + reason + ")";
}

// Every byte written, short writes continued; offset < 0 writes at the file position. Each
// write call is a step the save fault hook may fail.
int WriteFully(int fd, const char* bytes, size_t size, off_t offset) {
    while (size > 0) {
        if (!Zelvo::SaveStepAllowed(Zelvo::SaveStep::Write))
            return errno;
        const ssize_t n = offset < 0 ? write(fd, bytes, size) : pwrite(fd, bytes, size, offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : EIO;
        bytes += n;
        size -= static_cast<size_t>(n);
        if (offset >= 0)
            offset += n;
    }
    return 0;
}

// Why the hidden file could not be made in the target's folder.
std::string CreationReason(int error) {
    if (error == ENOENT)
        return "its folder does not exist";
    if (error == EACCES || error == EPERM)
        return "no permission to create files in its folder";
    if (error == ENOSPC || error == EDQUOT)
        return "the disk is full";
    return std::strerror(error);
}

// A rename is durable once the folder that holds it is on disk. The new file is already in
// place whatever this returns, so a failure here changes nothing that a caller could act on.
void SyncFolderOf(const std::string& path) {
    if (!Zelvo::SaveStepAllowed(Zelvo::SaveStep::SyncFolder))
        return;
    const int folder = open(Zelvo::FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0)
        return;
    fsync(folder);
    close(folder);
}

}  // namespace

std::string WriteFailure(const std::string& path, int error) {
    if (error == ENOSPC || error == EDQUOT)
        return CannotWrite(path, "the disk is full");
    return CannotWrite(path, std::strerror(error));
}

PartialFile::PartialFile(PartialFile&& other) noexcept
    : path_(std::move(other.path_)), target_(std::move(other.target_)), partial_(std::move(other.partial_)),
      fd_(std::exchange(other.fd_, -1)) {
    other.partial_.clear();
}

PartialFile& PartialFile::operator=(PartialFile&& other) noexcept {
    if (this != &other) {
        Discard();
        path_ = std::move(other.path_);
        target_ = std::move(other.target_);
        partial_ = std::exchange(other.partial_, std::string());
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

PartialFile::~PartialFile() { Discard(); }

bool PartialFile::Create(const std::string& path, std::string* why) {
    Discard();
    path_ = path;
    if (path.empty() || path.back() == '/') {
        *why = CannotWrite(path, "no file name");
        return false;
    }
    // A symbolic link is followed, so that the link stays a link and its target gets the new
    // content; only a regular file this user may write is replaced.
    std::string problem;
    if (!Zelvo::ResolveSaveTarget(path, &target_, &problem)) {
        *why = CannotWrite(path, problem);
        return false;
    }
    Zelvo::ReplacedFile old;
    if (!Zelvo::InspectReplacedFile(target_, &old, &problem)) {
        *why = CannotWrite(path, problem);
        return false;
    }
    // What writes of this file that were killed left behind goes first.
    Zelvo::RemoveStaleTemporaries(target_);
    // The usual mode lets the system apply the umask: reading and restoring the umask here
    // would briefly clear it for every other thread of the program.
    fd_ = Zelvo::CreateTemporaryBeside(target_, old.exists ? (old.info.st_mode & 0777) : 0666, &partial_, &problem);
    if (fd_ < 0) {
        partial_.clear();
        *why = CannotWrite(path, CreationReason(errno));
        return false;
    }
    if (old.exists && !Zelvo::TakeOverOwnerAndMode(fd_, old.info)) {
        *why = WriteFailure(path_, errno);
        Discard();
        return false;
    }
    return true;
}

bool PartialFile::Append(const void* data, size_t size, std::string* why) {
    const int error = WriteFully(fd_, static_cast<const char*>(data), size, -1);
    if (error != 0)
        *why = WriteFailure(path_, error);
    return error == 0;
}

bool PartialFile::WriteAt(const void* data, size_t size, off_t offset, std::string* why) {
    const int error = WriteFully(fd_, static_cast<const char*>(data), size, offset);
    if (error != 0)
        *why = WriteFailure(path_, error);
    return error == 0;
}

bool PartialFile::Commit(const std::function<bool()>& keep, std::string* why) {
    if (fd_ < 0) {
        *why = CannotWrite(path_, "the file was not created");
        return false;
    }
    // fsync and close are where a file system that writes late (a full disk found only when
    // the data is placed, a network folder) reports that the content did not arrive.
    if (!(Zelvo::SaveStepAllowed(Zelvo::SaveStep::Flush) && fsync(fd_) == 0)) {
        *why = WriteFailure(path_, errno);
        Discard();
        return false;
    }
    const bool closeAllowed = Zelvo::SaveStepAllowed(Zelvo::SaveStep::Close);
    const int injected = errno;
    const int closed = close(fd_);
    fd_ = -1;
    if (closed != 0 || !closeAllowed) {
        *why = WriteFailure(path_, closed != 0 ? errno : injected);
        Discard();
        return false;
    }
    if (keep && !keep()) {
        Discard();
        *why = "interrupted";
        return false;
    }
    if (!(Zelvo::SaveStepAllowed(Zelvo::SaveStep::Rename) && std::rename(partial_.c_str(), target_.c_str()) == 0)) {
        *why = CannotWrite(path_, std::strerror(errno));
        Discard();
        return false;
    }
    partial_.clear();
    SyncFolderOf(target_);
    return true;
}

void PartialFile::Discard() {
    if (fd_ >= 0)
        close(fd_);
    fd_ = -1;
    if (!partial_.empty())
        unlink(partial_.c_str());
    partial_.clear();
}
