#include "image/RawImageFile.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#include <sys/stat.h>

#include "image/Img.h"

namespace {

constexpr char kMagic[4] = {'Z', 'E', 'L', 'V'};
constexpr long kHeaderBytes = 24;

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

void PutInt(unsigned char* at, int32_t v) {
    uint32_t u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<unsigned char>(u >> (8 * i));
}

int32_t GetInt(const unsigned char* at) {
    uint32_t u = 0;
    for (int i = 0; i < 4; ++i)
        u |= static_cast<uint32_t>(at[i]) << (8 * i);
    return static_cast<int32_t>(u);
}

}  // namespace

bool SaveRawImage(const Img& image, const char* path) {
    if (!path)
        return false;
    File file(std::fopen(path, "wb"));
    if (!file)
        return false;
    unsigned char header[kHeaderBytes];
    std::memcpy(header, kMagic, 4);
    PutInt(header + 4, image.typeCode);
    PutInt(header + 8, image.width);
    PutInt(header + 12, image.height);
    PutInt(header + 16, image.bytesPerPixel);
    PutInt(header + 20, image.rowStride);
    if (std::fwrite(header, 1, kHeaderBytes, file.get()) != kHeaderBytes)
        return false;
    size_t bytes = image.ByteCount();
    if (bytes > 0 && std::fwrite(image.pixels, 1, bytes, file.get()) != bytes)
        return false;
    return std::fclose(file.release()) == 0;
}

bool LoadRawImage(Img& image, const char* path) {
    // Only regular files: opening a named pipe would wait for a writer.
    struct stat info;
    if (!path || ::stat(path, &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    File file(std::fopen(path, "rb"));
    if (!file)
        return false;
    if (std::fseek(file.get(), 0, SEEK_END) != 0)
        return false;
    long size = std::ftell(file.get());
    if (size < kHeaderBytes || std::fseek(file.get(), 0, SEEK_SET) != 0)
        return false;
    unsigned char header[kHeaderBytes];
    if (std::fread(header, 1, kHeaderBytes, file.get()) != kHeaderBytes || std::memcmp(header, kMagic, 4) != 0)
        return false;
    int32_t code = GetInt(header + 4), w = GetInt(header + 8), h = GetInt(header + 12);
    int32_t bpp = GetInt(header + 16), stride = GetInt(header + 20);
    if (code != image.typeCode || w <= 0 || h <= 0 || bpp != image.bytesPerPixel)
        return false;
    // The stride must be the one this image type gives the stored width, so that the block
    // read below fits the buffer Resize makes.
    int64_t rowBytes = static_cast<int64_t>(w) * bpp;
    int64_t expectedStride = (code == kTypeUCHAR || code == kTypeRGB) ? ((rowBytes + 3) & ~int64_t(3)) : rowBytes;
    if (stride != expectedStride)
        return false;
    int64_t pixelBytes = static_cast<int64_t>(stride) * h;
    if (static_cast<int64_t>(size) != kHeaderBytes + pixelBytes)
        return false;
    if (image.IsView() || !image.Resize(w, h))
        return false;
    return std::fread(image.pixels, 1, static_cast<size_t>(pixelBytes), file.get()) == static_cast<size_t>(pixelBytes);
}
