#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The fuzz targets that read files get their input through this: a file of this process,
// rewritten for every input and removed when the process ends. The suffix, when given, ends
// the file's name.
class FuzzInputFile {
public:
    explicit FuzzInputFile(const std::string& suffix = std::string());
    ~FuzzInputFile();
    FuzzInputFile(const FuzzInputFile&) = delete;
    FuzzInputFile& operator=(const FuzzInputFile&) = delete;

    // Replaces the file's content; aborts when the file cannot be written, since every
    // result after that would be meaningless.
    const std::string& Write(const uint8_t* data, size_t size);
    const std::string& Path() const { return path; }

private:
    std::string path;
};

// The image targets' input file: the selector byte picks the file name's suffix, which steers
// Qt's choice of decoder, among "", .jpg, .png, .gif, .bmp, .tif, .ppm and .xpm.
FuzzInputFile& ImageInputFor(uint8_t selector);
