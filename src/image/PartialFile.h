#pragma once

#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <string>

// The new version of a file, written beside it under a hidden name and renamed over it only
// when complete: a failed or interrupted write never leaves a half-written file where an old
// one was. A file that is not committed is removed when this object goes.
class PartialFile {
public:
    PartialFile() = default;
    PartialFile(const PartialFile&) = delete;
    PartialFile& operator=(const PartialFile&) = delete;
    PartialFile(PartialFile&& other) noexcept;
    PartialFile& operator=(PartialFile&& other) noexcept;
    ~PartialFile();

    // Creates the hidden file in the folder of the file that path names: a symbolic link's
    // target, so that the link stays a link. False with the reason when path exists but is
    // not a regular file (a folder, a device, a pipe) or the folder takes no new file.
    bool Create(const std::string& path, std::string* why);

    int Descriptor() const { return fd_; }
    // The hidden file's path.
    const std::string& Name() const { return partial_; }
    // The path as it was given, for messages.
    const std::string& Path() const { return path_; }

    // Writes every byte at the file position / at offset, short writes continued; false with
    // the cause named when the system refuses one.
    bool Append(const void* data, size_t size, std::string* why);
    bool WriteAt(const void* data, size_t size, off_t offset, std::string* why);

    // Gives the file the permission bits of the one it replaces, makes its content durable,
    // asks keep() (false: interrupted, the old file stays) and renames it into place.
    bool Commit(const std::function<bool()>& keep, std::string* why);
    // Closes and removes the hidden file.
    void Discard();

private:
    std::string path_;     // as given
    std::string target_;   // the file renamed over: path_ with a link resolved
    std::string partial_;  // the hidden file
    int fd_ = -1;
};

// "cannot write PATH (reason)", the disk named when it is full.
std::string WriteFailure(const std::string& path, int error);
