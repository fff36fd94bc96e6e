// Bits per channel of the written panorama: a TIFF keeps the stitch's 16 bits unless 8 are asked
// for, a PNG has 8 unless 16 are, a JPEG always 8; every depth holds the same panorama.
#include <gtest/gtest.h>

#include <tiffio.h>

#include <QImageReader>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "image/ImageFile.h"
#include "support/RenderedViews.h"
#include "support/RunProgram.h"

namespace {

struct TiffLayout {
    int bits = 0;
    int compression = 0;
    int width = 0, height = 0;
    std::vector<uint16_t> samples;  // red, green, blue, 16-bit files only
};

TiffLayout ReadTiff(const std::string& path) {
    TiffLayout layout;
    TIFF* tiff = TIFFOpen(path.c_str(), "r");
    if (!tiff)
        return layout;
    uint16_t bits = 0, compression = 0;
    uint32_t width = 0, height = 0;
    TIFFGetField(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetField(tiff, TIFFTAG_COMPRESSION, &compression);
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    layout = TiffLayout{bits, compression, static_cast<int>(width), static_cast<int>(height), {}};
    if (bits == 16) {
        layout.samples.resize(size_t(3) * width * height);
        for (uint32_t y = 0; y < height; ++y)
            TIFFReadScanline(tiff, layout.samples.data() + size_t(3) * width * y, y, 0);
    }
    TIFFClose(tiff);
    return layout;
}

int DepthOf(const std::string& path) {
    QImageReader reader(QString::fromStdString(path));
    const QImage image = reader.read();
    return image.isNull() ? 0 : image.depth();
}

}  // namespace

TEST(OutputDepth, TiffIsSixteenBitsByDefaultPngOnRequestAndAllHoldOnePanorama) {
    RenderedViews set({View(0, 0, 0, 500, 320, 240), View(25, 0, 0, 500, 320, 240)});
    const std::string dir = set.Folder();
    auto run = [&](std::vector<std::string> outputs) {
        std::vector<std::string> args = {"-q", "--seed", "3", "--size", "600"};
        args.insert(args.end(), outputs.begin(), outputs.end());
        args.insert(args.end(), {set.Path(0), set.Path(1)});
        return RunProgram(VEDORA_STITCH, args, dir);
    };
    RunResult byDefault = run({"-o", dir + "/wide.tif", "--uncropped", dir + "/whole.png"});
    ASSERT_EQ(byDefault.status, 0) << byDefault.err;
    RunResult eight = run({"--depth", "8", "-o", dir + "/narrow.tif", "--uncropped", dir + "/whole8.png"});
    ASSERT_EQ(eight.status, 0) << eight.err;
    RunResult sixteen = run({"--depth", "16", "-o", dir + "/wide.png", "--uncropped", dir + "/whole.jpg"});
    ASSERT_EQ(sixteen.status, 0) << sixteen.err;

    const TiffLayout wide = ReadTiff(dir + "/wide.tif");
    EXPECT_EQ(wide.bits, 16);
    EXPECT_EQ(wide.compression, COMPRESSION_ADOBE_DEFLATE);
    const TiffLayout narrow = ReadTiff(dir + "/narrow.tif");
    EXPECT_EQ(narrow.bits, 8);
    EXPECT_EQ(DepthOf(dir + "/whole.png"), 32);  // 8 bits a channel
    EXPECT_EQ(DepthOf(dir + "/wide.png"), 64);   // 16 bits a channel
    EXPECT_EQ(DepthOf(dir + "/whole.jpg"), 32);

    // The 16-bit TIFF is the 8-bit one with finer steps: within a level everywhere, and with
    // values between the 8-bit levels.
    ImgRGB eightBit;
    ASSERT_TRUE(LoadImageFile(eightBit, 0, (dir + "/narrow.tif").c_str()));
    ASSERT_EQ(wide.width, eightBit.width);
    ASSERT_EQ(wide.height, eightBit.height);
    double worst = 0;
    size_t between = 0;
    for (int y = 0; y < wide.height; ++y)
        for (int x = 0; x < wide.width; ++x) {
            const uint16_t* s = &wide.samples[(size_t(y) * wide.width + x) * 3];
            const Rgb p = eightBit.At(x, y);
            worst = std::max(
                {worst, std::abs(s[0] / 257.0 - p.r), std::abs(s[1] / 257.0 - p.g), std::abs(s[2] / 257.0 - p.b)});
            between += s[1] % 257 != 0 ? 1 : 0;
        }
    EXPECT_LE(worst, 1.0);
    EXPECT_GT(between, wide.samples.size() / 6);

    // A depth no format has is a usage error.
    RunResult twelve = run({"--depth", "12", "-o", dir + "/bad.tif"});
    EXPECT_EQ(twelve.status, 2);
    EXPECT_NE(twelve.err.find("--depth takes 8 or 16"), std::string::npos) << twelve.err;
}
