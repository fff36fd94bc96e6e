#include "image/PartialFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <utility>

namespace {

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string SuffixOf(const std::string& name) {
    const size_t dot = name.find_last_of('.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

std::string CannotWrite(const std::string& path, const std::string& reason) {
    return "cannot write " + path + " (" + reason + ")";
}

const char* KindOf(mode_t mode) {
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    if (S_ISFIFO(mode))
        return "a pipe";
    if (S_ISSOCK(mode))
        return "a socket";
    return "not a regular file";
}

// The file that a write to path replaces: path itself, or the file a symbolic link leads to,
// so that the link survives and its target gets the new content. Only regular files are
// replaced: renaming over a device or a pipe would destroy it (for root, even /dev/null).
bool ResolveTarget(const std::string& path, std::string* target, std::string* why) {
    struct stat seen {};
    if (lstat(path.c_str(), &seen) != 0) {
        if (errno != ENOENT) {
            *why = CannotWrite(path, std::strerror(errno));
            return false;
        }
        *target = path;  // a new file
        return true;
    }
    *target = path;
    if (S_ISLNK(seen.st_mode)) {
        char* resolved = realpath(path.c_str(), nullptr);
        if (!resolved) {
            *why = CannotWrite(path, errno == ENOENT ? "it is a link to a missing file" : std::strerror(errno));
            return false;
        }
        *target = resolved;
        std::free(resolved);
        if (stat(target->c_str(), &seen) != 0) {
            *why = CannotWrite(path, std::strerror(errno));
            return false;
        }
    }
    if (!S_ISREG(seen.st_mode)) {
        *why = CannotWrite(path, std::string("it is ") + KindOf(seen.st_mode) + ", not a regular file");
        return false;
    }
    return true;
}

std::string RandomLetters(int count) {
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device source;
    std::uniform_int_distribution<int> pick(0, static_cast<int>(sizeof(kLetters)) - 2);
    std::string letters(static_cast<size_t>(count), 'a');
    for (char& c : letters)
        c = kLetters[pick(source)];
    return letters;
}

// A hidden name beside target that says what it is and keeps target's suffix, so that a
// writer that goes by the suffix picks the same format. A long name is shortened (at a
// character boundary) to stay within the longest name a folder takes.
std::string PartialNameFor(const std::string& target) {
    static const char kMark[] = ".vedora-partial-";
    constexpr int kRandom = 6;
    const std::string name = NameOf(target);
    const std::string suffix = SuffixOf(name);
    const size_t fixed = 1 + (sizeof(kMark) - 1) + kRandom + suffix.size();
    size_t keep = name.size();
    if (fixed < NAME_MAX && keep > NAME_MAX - fixed) {
        keep = NAME_MAX - fixed;
        while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80)
            --keep;
    }
    return FolderOf(target) + "/." + name.substr(0, keep) + kMark + RandomLetters(kRandom) + suffix;
}

// Every byte written, short writes continued; offset < 0 writes at the file position.
int WriteFully(int fd, const char* bytes, size_t size, off_t offset) {
    while (size > 0) {
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

// A rename is durable once the folder that holds it is on disk. The new file is already in
// place whatever this returns, so a failure here changes nothing that a caller could act on.
void SyncFolderOf(const std::string& path) {
    const int folder = open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
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
    if (!ResolveTarget(path, &target_, why))
        return false;
    // O_EXCL with the usual mode lets the system apply the umask: reading and restoring the
    // umask here would briefly clear it for every other thread of the program.
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = PartialNameFor(target_);
        fd_ = open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd_ >= 0) {
            partial_ = std::move(name);
            return true;
        }
        if (errno != EEXIST)
            break;
    }
    *why = CannotWrite(path, std::strerror(errno));
    return false;
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
    struct stat old {};
    const bool replaces = stat(target_.c_str(), &old) == 0;
    // fsync and close are where a file system that writes late (a full disk found only when
    // the data is placed, a network folder) reports that the content did not arrive.
    if ((replaces && fchmod(fd_, old.st_mode & 0777) != 0) || fsync(fd_) != 0) {
        *why = WriteFailure(path_, errno);
        Discard();
        return false;
    }
    const int closed = close(fd_);
    fd_ = -1;
    if (closed != 0) {
        *why = WriteFailure(path_, errno);
        Discard();
        return false;
    }
    if (keep && !keep()) {
        Discard();
        *why = "interrupted";
        return false;
    }
    if (std::rename(partial_.c_str(), target_.c_str()) != 0) {
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
