#include "FuzzInputFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

FuzzInputFile::FuzzInputFile(const std::string& suffix) {
    static int count = 0;
    path = (std::filesystem::temp_directory_path() /
            ("vedora-fuzz-" + std::to_string(::getpid()) + "-" + std::to_string(count++) + suffix))
               .string();
}

FuzzInputFile::~FuzzInputFile() { ::unlink(path.c_str()); }

const std::string& FuzzInputFile::Write(const uint8_t* data, size_t size) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        std::abort();
    while (size > 0) {
        ssize_t written = ::write(fd, data, size);
        if (written <= 0)
            std::abort();
        data += written;
        size -= static_cast<size_t>(written);
    }
    ::close(fd);
    return path;
}

FuzzInputFile& ImageInputFor(uint8_t selector) {
    static FuzzInputFile inputs[] = {FuzzInputFile(""),     FuzzInputFile(".jpg"), FuzzInputFile(".png"),
                                     FuzzInputFile(".gif"), FuzzInputFile(".bmp"), FuzzInputFile(".tif"),
                                     FuzzInputFile(".ppm"), FuzzInputFile(".xpm")};
    return inputs[(selector & 0x0F) % (sizeof inputs / sizeof inputs[0])];
}
