#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "xml/Chars.h"
#include "xml/FileErrors.h"

namespace Zelvo {

namespace {

bool IsReadableKind(const struct stat& info, const std::string& path, std::string* why) {
    if (S_ISDIR(info.st_mode))
        return Fail(why, Quoted(path) + " is a folder, not a file");
    if (!S_ISREG(info.st_mode))
        return Fail(why, Quoted(path) + " is not a regular file (it is a device, pipe or socket)");
    if (info.st_size > kMaxReadFileBytes)
        return Fail(why, Quoted(path) + " is larger than " + std::to_string(kMaxReadFileBytes >> 20) +
                             " MB, far too large for a file of this kind");
    return true;
}

// Reads to the end, but never more than the limit: a file that grows while it is read is
// refused as well.
bool ReadToEnd(int fd, const std::string& path, std::string& content, std::string* why) {
    char chunk[65536];
    for (;;) {
        ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got == 0)
            return true;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return Fail(why, "Cannot read " + Quoted(path) + ": " + DescribeFileError(errno));
        }
        content.append(chunk, static_cast<size_t>(got));
        if (static_cast<int64_t>(content.size()) > kMaxReadFileBytes)
            return Fail(why, Quoted(path) + " grew beyond " + std::to_string(kMaxReadFileBytes >> 20) +
                                 " MB while it was read");
    }
}

}  // namespace

// The kind of file is checked before it is opened, so that a pipe or a device never blocks
// or floods the reader; the open descriptor is checked again because the path may have been
// replaced in between (a pipe opened without blocking is then refused). Texts never hold
// NUL bytes, so the text ends at the first NUL the file contains.
bool Chars::ReadFile(const char* path, std::string* why) {
    if (!path || !*path)
        return Fail(why, "No file name was given");
    struct stat info;
    if (::stat(path, &info) != 0)
        return Fail(why, "Cannot read " + Quoted(path) + ": " + DescribeFileError(errno));
    if (!IsReadableKind(info, path, why))
        return false;
    int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return Fail(why, "Cannot open " + Quoted(path) + ": " + DescribeFileError(errno));
    std::string content;
    bool ok = ::fstat(fd, &info) == 0 && IsReadableKind(info, path, why) && ReadToEnd(fd, path, content, why);
    ::close(fd);
    if (!ok)
        return false;
    size_t nul = content.find('\0');
    if (nul != std::string::npos)
        content.resize(nul);
    *this = Chars(content.data(), static_cast<int>(content.size()));
    return true;
}

bool Chars::WriteFile(const char* path) const {
    if (!path)
        return false;
    FILE* file = std::fopen(path, "wb");
    if (!file)
        return false;
    size_t written = std::fwrite(Data(), 1, static_cast<size_t>(length), file);
    bool ok = written == static_cast<size_t>(length) && std::fflush(file) == 0;
    ok = (std::fclose(file) == 0) && ok;
    return ok;
}

}  // namespace Zelvo
