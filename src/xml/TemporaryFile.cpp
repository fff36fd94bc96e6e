#include "xml/TemporaryFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <random>

#include "xml/FileErrors.h"
#include "xml/FilePaths.h"

namespace Zelvo {

namespace {

constexpr int kRandomLetters = 6;

std::string RandomLetters() {
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
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
    case ENOENT:
        return start + "the folder " + folder + " does not exist";
    case EACCES:
    case EPERM:
        return start + "no permission to create files in the folder " + folder;
    default:
        return start + DescribeFileError(error);
    }
}

}  // namespace

int CreateTemporaryBeside(const std::string& target, mode_t mode, std::string* temporary, std::string* why) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        *temporary = target + ".tmp" + RandomLetters();
        int fd = ::open(temporary->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd >= 0)
            return fd;
        if (errno != EEXIST) {
            Fail(why, CreationFailure(target, errno));
            return -1;
        }
    }
    Fail(why, CreationFailure(target, EEXIST));
    return -1;
}

}  // namespace Zelvo
