// The image file loaders on any bytes. The first byte picks the file name's suffix (which
// steers Qt's choice of decoder) and the orientation; the rest is the file. The colour and
// the gray load decode the same image, so they must agree on its size.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "FuzzInputFile.h"
#include "image/ImageFile.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Decoded images are kept small so that time goes into many inputs, not into one huge
    // allocation a header may ask for.
    SetImageDecodeLimitMegabytes(8);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    int orientation = data[0] >> 4;
    FuzzInputFile& input = ImageInputFor(data[0]);
    QString path = QString::fromStdString(input.Write(data + 1, size - 1));
    int w = 0, h = 0;
    ReadImageFileSize(path, orientation, &w, &h);
    ImgRGB colour;
    ImgFLOAT gray;
    bool colourLoaded = LoadImageFile(colour, orientation, path);
    bool grayLoaded = LoadImageFileGray(gray, orientation, input.Path().c_str());
    if (colourLoaded != grayLoaded || (colourLoaded && (colour.width != gray.width || colour.height != gray.height)))
        std::abort();
    return 0;
}
