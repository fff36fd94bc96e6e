// The raw image loader on any bytes, into an image of every pixel type. What loads must save
// back to exactly the bytes it came from.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "FuzzInputFile.h"
#include "image/ImgTypes.h"

namespace {

template <class Image>
void LoadAndSaveBack(const std::string& input, const std::string& output, const uint8_t* data, size_t size) {
    Image image;
    if (!image.Load(input.c_str()))
        return;
    if (!image.Save(output.c_str()))
        std::abort();
    std::ifstream in(output, std::ios::binary);
    std::string back((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (back.size() != size || std::memcmp(back.data(), data, size) != 0)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FuzzInputFile input;
    static FuzzInputFile output;
    const std::string& path = input.Write(data, size);
    LoadAndSaveBack<ImgUCHAR>(path, output.Path(), data, size);
    LoadAndSaveBack<ImgINT>(path, output.Path(), data, size);
    LoadAndSaveBack<ImgFLOAT>(path, output.Path(), data, size);
    LoadAndSaveBack<ImgDOUBLE>(path, output.Path(), data, size);
    LoadAndSaveBack<ImgRGB>(path, output.Path(), data, size);
    LoadAndSaveBack<ImgRGBA>(path, output.Path(), data, size);
    LoadAndSaveBack<ImgRGBSHORT>(path, output.Path(), data, size);
    LoadAndSaveBack<ImgCPXFLOAT>(path, output.Path(), data, size);
    return 0;
}
