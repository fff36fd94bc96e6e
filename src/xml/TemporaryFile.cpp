#include "xml/TemporaryFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>

#include "xml/FileErrors.h"
#include "xml/FilePaths.h"
#include "xml/SaveFaults.h"

namespace Zelvo {

namespace {

constexpr const char* kMarker = ".vedora-save-";
constexpr int kRandomLetters = 6;
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

bool IsLetterOrDigit(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); }

std::string TemporaryPrefix(const std::string& targetName) { return "." + targetName + kMarker; }

std::string RandomLetters() {
    std::random_device random;
    std::string letters;
    for (int i = 0; i < kRandomLetters; ++i)
        letters += kAlphabet[random() % (sizeof kAlphabet - 1)];
    return letters;
}

std::string CreationFailure(const std::string& target, int error) {
    std::string folder = Quoted(FolderOf(target));
    std::string start = "Cannot save " + Quoted(target) + ": ";
    switch (error) {
    case ENOENT: return start + "the folder " + folder + " does not exist";
    case EACCES:
    case EPERM: return start + "no permission to create files in the folder " + folder;
    default: return start + DescribeFileError(error);
    }
}

// A file is stale when nobody holds its lock: the save that made it has ended without
// renaming it. The descriptor must still name the entry that was checked.
void RemoveIfStale(const std::string& path) {
    struct stat entry {};
    if (::lstat(path.c_str(), &entry) != 0 || !S_ISREG(entry.st_mode))
        return;
    int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat opened {};
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &opened) == 0 && opened.st_dev == entry.st_dev &&
        opened.st_ino == entry.st_ino)
        ::unlink(path.c_str());
    ::close(fd);
}

}  // namespace

bool IsTemporaryNameOf(const std::string& entry, const std::string& targetName) {
    std::string prefix = TemporaryPrefix(targetName);
    if (entry.size() != prefix.size() + kRandomLetters || entry.compare(0, prefix.size(), prefix) != 0)
        return false;
    for (size_t i = prefix.size(); i < entry.size(); ++i)
        if (!IsLetterOrDigit(entry[i]))
            return false;
    return true;
}

int CreateTemporaryBeside(const std::string& target, mode_t mode, std::string* temporary, std::string* why) {
    std::string stem = BesidePath(target, TemporaryPrefix(NameOf(target)));
    for (int attempt = 0; attempt < 100; ++attempt) {
        *temporary = stem + RandomLetters();
        int fd = SaveStepAllowed(SaveStep::CreateTemporary)
                     ? ::open(temporary->c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode)
                     : -1;
        if (fd >= 0) {
            // Where the file system has no locks, stale files are simply left alone.
            ::flock(fd, LOCK_EX | LOCK_NB);
            return fd;
        }
        if (errno != EEXIST) {
            Fail(why, CreationFailure(target, errno));
            return -1;
        }
    }
    Fail(why, CreationFailure(target, EEXIST));
    return -1;
}

void RemoveStaleTemporaries(const std::string& target) {
    std::string name = NameOf(target);
    DIR* folder = ::opendir(FolderOf(target).c_str());
    if (!folder)
        return;
    while (const dirent* entry = ::readdir(folder))
        if (IsTemporaryNameOf(entry->d_name, name))
            RemoveIfStale(BesidePath(target, entry->d_name));
    ::closedir(folder);
}

}  // namespace Zelvo
