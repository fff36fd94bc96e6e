// The image file loader inside a large-block reuse scope, on any bytes (the first byte picks
// the file name's suffix, as for fuzz_image_file). Before the decode, the block the image will
// need has held other pixels; whatever the file, the load must accept and refuse what a load
// outside the scope does, and give the same pixels: a decoder that stops early must never show
// an earlier photograph's pixels.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "FuzzInputFile.h"
#include "image/ImageFile.h"
#include "image/LargeBlocks.h"
#include "support/SamePixels.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    SetImageDecodeLimitMegabytes(8);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    FuzzInputFile& input = ImageInputFor(data[0]);
    const char* path = input.Write(data + 1, size - 1).c_str();
    ImgRGB fresh;
    const bool freshLoaded = LoadImageFile(fresh, 0, path);
    int w = 0, h = 0;
    ReadImageFileSize(path, 0, &w, &h);
    const LargeBlockReuse reuse;
    if (w > 0 && h > 0 && static_cast<size_t>(w) * static_cast<size_t>(h) <= (size_t(8) << 20) / 4) {
        const size_t bytes = size_t(w) * 4 * size_t(h);
        void* earlier = TakeLargeBlock(bytes);
        std::memset(earlier, 0xA5, bytes);
        GiveLargeBlock(earlier, bytes);
    }
    ImgRGB reused;
    const bool reusedLoaded = LoadImageFile(reused, 0, path);
    if (freshLoaded != reusedLoaded || (freshLoaded && !SamePixels(fresh, reused)))
        std::abort();
    return 0;
}
