#include <gtest/gtest.h>

#include <QImage>
#include <QImageReader>
#include <QRgba64>
#include <QTemporaryDir>

#include <tiffio.h>

#include <cmath>
#include <string>

#include "image/ImageFile.h"
#include "image/RowImageWriter.h"
#include "image/RowWriterTestSupport.h"

namespace {

class RowImageWriterTest : public ::testing::Test {
protected:
    std::string PathOf(const std::string& name) const { return dir.path().toStdString() + "/" + name; }

    // The picture written in bands of unequal heights, finished.
    void Write(const std::string& path, const Picture8& p, const RowWriterOptions& options = {}) {
        std::string why;
        auto writer = RowImageWriter::Open(path, p.width, p.height, options, &why);
        ASSERT_TRUE(writer) << why;
        ASSERT_TRUE(WriteInBands(*writer, p, {1, 50, 7})) << writer->Error();
        ASSERT_TRUE(writer->Finish({}, &why)) << why;
    }
    void Write(const std::string& path, const Picture16& p, const RowWriterOptions& options) {
        std::string why;
        auto writer = RowImageWriter::Open(path, p.width, p.height, options, &why);
        ASSERT_TRUE(writer) << why;
        ASSERT_TRUE(WriteInBands(*writer, p, {3, 64, 1})) << writer->Error();
        ASSERT_TRUE(writer->Finish({}, &why)) << why;
    }

    QTemporaryDir dir;
};

int CountDifferent(const ImgRGB& loaded, const Picture8& p) {
    if (loaded.width != p.width || loaded.height != p.height)
        return -1;
    int different = 0;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            const Rgb& a = loaded.At(x, y);
            const Rgb& b = p.Row(y)[x];
            different += a.b != b.b || a.g != b.g || a.r != b.r;
        }
    return different;
}

int CountDifferent(const ImgRGB& a, const ImgRGB& b) {
    if (a.width != b.width || a.height != b.height)
        return -1;
    int different = 0;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x)
            different += a.At(x, y).b != b.At(x, y).b || a.At(x, y).g != b.At(x, y).g || a.At(x, y).r != b.At(x, y).r;
    return different;
}

double Psnr(const ImgRGB& loaded, const Picture8& p) {
    double squares = 0;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            const Rgb& a = loaded.At(x, y);
            const Rgb& b = p.Row(y)[x];
            squares += (a.b - b.b) * (a.b - b.b) + (a.g - b.g) * (a.g - b.g) + (a.r - b.r) * (a.r - b.r);
        }
    const double mean = squares / (3.0 * p.width * p.height);
    return mean == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mean);
}

ImgRGB Load(const std::string& path) {
    ImgRGB image;
    EXPECT_TRUE(LoadImageFile(image, 0, QString::fromStdString(path))) << path;
    return image;
}

// Samples that differ from the picture's, the file read with 16 bits per channel.
int CountDifferent16(const std::string& path, const Picture16& p) {
    QImage read(QString::fromStdString(path));
    if (read.isNull() || read.depth() != 64 || read.width() != p.width || read.height() != p.height)
        return -1;
    const QImage wide = read.convertToFormat(QImage::Format_RGBX64);
    int different = 0;
    for (int y = 0; y < p.height; ++y) {
        const auto* line = reinterpret_cast<const QRgba64*>(wide.constScanLine(y));
        for (int x = 0; x < p.width; ++x) {
            const uint16_t* px = p.Row(y) + 3 * x;
            different += line[x].blue() != px[0] || line[x].green() != px[1] || line[x].red() != px[2];
        }
    }
    return different;
}

// The sampling factors of a JPEG's components (luma first), from its frame header.
std::string SamplingOf(const std::string& bytes) {
    size_t at = 2;
    while (at + 4 <= bytes.size() && static_cast<uint8_t>(bytes[at]) == 0xFF) {
        const int marker = static_cast<uint8_t>(bytes[at + 1]);
        const size_t length = static_cast<uint8_t>(bytes[at + 2]) * 256u + static_cast<uint8_t>(bytes[at + 3]);
        if (marker >= 0xC0 && marker <= 0xC2 && at + 10 <= bytes.size()) {
            std::string factors;
            const int components = static_cast<uint8_t>(bytes[at + 9]);
            for (int c = 0; c < components && at + 12 + 3 * c <= bytes.size(); ++c) {
                const int f = static_cast<uint8_t>(bytes[at + 11 + 3 * c]);
                factors += std::to_string(f >> 4) + "x" + std::to_string(f & 15) + " ";
            }
            return factors;
        }
        at += 2 + length;
    }
    return "no frame header";
}

TEST_F(RowImageWriterTest, PngTiffAndBmpHoldEveryPixelWrittenInBands) {
    const Picture8 p = Gradient8(333, 157);
    for (const char* name : {"pano.png", "pano.tif", "pano.tiff", "pano.bmp", "PANO.PNG"}) {
        SCOPED_TRACE(name);
        Write(PathOf(name), p);
        EXPECT_EQ(CountDifferent(Load(PathOf(name)), p), 0);
    }
}

TEST_F(RowImageWriterTest, NoisyPixelsSurviveTooAndTheDeflatedTiffHoldsThemExactly) {
    const Picture8 p = Noise8(101, 67);
    for (const char* name : {"noise.png", "noise.tif", "noise.bmp"}) {
        SCOPED_TRACE(name);
        Write(PathOf(name), p);
        EXPECT_EQ(CountDifferent(Load(PathOf(name)), p), 0);
    }
}

TEST_F(RowImageWriterTest, JpegAtQuality100IsCloseToThePicture) {
    const Picture8 p = Gradient8(333, 157);
    Write(PathOf("pano.jpg"), p);
    const ImgRGB loaded = Load(PathOf("pano.jpg"));
    ASSERT_EQ(loaded.width, 333);
    ASSERT_EQ(loaded.height, 157);
    EXPECT_GT(Psnr(loaded, p), 40.0);
}

TEST_F(RowImageWriterTest, LowerJpegQualityGivesASmallerFile) {
    const Picture8 p = Noise8(120, 80);
    RowWriterOptions low;
    low.quality = 30;
    Write(PathOf("high.jpg"), p);
    Write(PathOf("low.jpg"), p, low);
    EXPECT_LT(ReadBytes(PathOf("low.jpg")).size() * 2, ReadBytes(PathOf("high.jpg")).size());
}

TEST_F(RowImageWriterTest, PngBmpAndJpegDecodeToWhatQtsWriterWrites) {
    const Picture8 p = Gradient8(333, 157);
    const ImgRGB image = ToImage(p);
    for (const char* suffix : {".png", ".bmp", ".jpg"}) {
        SCOPED_TRACE(suffix);
        const std::string rows = PathOf(std::string("rows") + suffix);
        const std::string whole = PathOf(std::string("whole") + suffix);
        Write(rows, p);
        ASSERT_TRUE(SaveImageFile(image, QString::fromStdString(whole), 100));
        EXPECT_EQ(CountDifferent(Load(rows), Load(whole)), 0);
    }
    EXPECT_EQ(SamplingOf(ReadBytes(PathOf("rows.jpg"))), SamplingOf(ReadBytes(PathOf("whole.jpg"))));
}

TEST_F(RowImageWriterTest, SixteenBitPngAndTiffReadBackWithEverySample) {
    const Picture16 p = Gradient16(333, 157);
    RowWriterOptions wide;
    wide.bitsPerChannel = 16;
    for (const char* name : {"deep.png", "deep.tif"}) {
        SCOPED_TRACE(name);
        Write(PathOf(name), p, wide);
        EXPECT_EQ(CountDifferent16(PathOf(name), p), 0);
    }
}

TEST_F(RowImageWriterTest, TiffIsDeflatedWithAPredictorInOneStripPerQuarterMegabyte) {
    const Picture8 p = Gradient8(333, 1000);
    Write(PathOf("pano.tif"), p);
    TIFF* tif = TIFFOpen(PathOf("pano.tif").c_str(), "r");
    ASSERT_TRUE(tif);
    uint16_t compression = 0, predictor = 0;
    uint32_t rowsPerStrip = 0;
    TIFFGetField(tif, TIFFTAG_COMPRESSION, &compression);
    TIFFGetField(tif, TIFFTAG_PREDICTOR, &predictor);
    TIFFGetField(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    const uint32_t strips = TIFFNumberOfStrips(tif);
    TIFFClose(tif);
    EXPECT_EQ(compression, COMPRESSION_ADOBE_DEFLATE);
    EXPECT_EQ(predictor, PREDICTOR_HORIZONTAL);
    const uint32_t stripBytes = rowsPerStrip * 333 * 3;
    EXPECT_GE(stripBytes, 64u * 1024);
    EXPECT_LE(stripBytes, 1024u * 1024);
    EXPECT_EQ(strips, (1000 + rowsPerStrip - 1) / rowsPerStrip);
    EXPECT_LT(ReadBytes(PathOf("pano.tif")).size(), 333u * 1000 * 3 / 4);  // a ramp deflates well
}

TEST_F(RowImageWriterTest, BigTiffIsChosenWhenTheFileMightPassFourGigabytes) {
    EXPECT_FALSE(TiffNeedsBigTiff(333, 157, 8));
    EXPECT_FALSE(TiffNeedsBigTiff(30000, 30000, 8));  // 2.7 GB
    EXPECT_TRUE(TiffNeedsBigTiff(30000, 30000, 16));  // 5.4 GB
    EXPECT_FALSE(TiffNeedsBigTiff(65536, 16384, 8));  // 3 GiB of pixels
    // Pixels just under 4 GiB: incompressible content would pass it.
    EXPECT_TRUE(TiffNeedsBigTiff(65536, 21845, 8));
    EXPECT_TRUE(TiffNeedsBigTiff(1000000, 2000, 8));
}

TEST_F(RowImageWriterTest, TiffHeaderIsClassicUnlessBigTiffIsAskedFor) {
    const Picture8 p = Gradient8(333, 157);
    RowWriterOptions big;
    big.bigTiff = true;
    Write(PathOf("classic.tif"), p);
    Write(PathOf("big.tif"), p, big);
    const std::string classic = ReadBytes(PathOf("classic.tif")).substr(0, 4);
    const std::string bigHeader = ReadBytes(PathOf("big.tif")).substr(0, 4);
    EXPECT_EQ(classic, std::string("II\x2A\x00", 4));
    EXPECT_EQ(bigHeader, std::string("II\x2B\x00", 4));
    EXPECT_EQ(CountDifferent(Load(PathOf("big.tif")), p), 0);
}

TEST_F(RowImageWriterTest, JpegWiderOrTallerThanLibjpegTakesIsRefusedBeforeAnyFileNamingTiff) {
    std::string why;
    EXPECT_FALSE(RowImageWriter::Open(PathOf("wide.jpg"), kJpegMaxSide + 1, 10, {}, &why));
    EXPECT_NE(why.find("TIFF"), std::string::npos) << why;
    EXPECT_NE(why.find(std::to_string(kJpegMaxSide)), std::string::npos) << why;
    why.clear();
    EXPECT_FALSE(RowImageWriter::Open(PathOf("tall.jpg"), 10, 65536, {}, &why));
    EXPECT_NE(why.find("TIFF"), std::string::npos) << why;
    EXPECT_TRUE(NamesIn(dir.path().toStdString()).empty());
}

TEST_F(RowImageWriterTest, JpegAsWideAsLibjpegTakesIsWritten) {
    const Picture8 p = Gradient8(kJpegMaxSide, 2);
    Write(PathOf("wide.jpg"), p);
    QImageReader reader(QString::fromStdString(PathOf("wide.jpg")));
    EXPECT_EQ(reader.size(), QSize(kJpegMaxSide, 2));
}

TEST_F(RowImageWriterTest, BmpPastFourGigabytesIsRefusedNamingTiff) {
    std::string why;
    // Rows of 65,536 pixels take 196,608 bytes: 21,845 of them fit under 4 GB, 21,846 do not.
    EXPECT_TRUE(RowImageWriter::Open(PathOf("fits.bmp"), 65536, 21845, {}, &why)) << why;
    EXPECT_FALSE(RowImageWriter::Open(PathOf("big.bmp"), 65536, 21846, {}, &why));
    EXPECT_NE(why.find("TIFF"), std::string::npos) << why;
    EXPECT_NE(why.find("4 GB"), std::string::npos) << why;
    EXPECT_TRUE(NamesIn(dir.path().toStdString()).empty());
}

TEST_F(RowImageWriterTest, SixteenBitsAreRefusedForJpegAndBmp) {
    RowWriterOptions wide;
    wide.bitsPerChannel = 16;
    for (const char* name : {"deep.jpg", "deep.bmp", "deep"}) {
        std::string why;
        EXPECT_FALSE(RowImageWriter::Open(PathOf(name), 10, 10, wide, &why)) << name;
        EXPECT_NE(why.find("16 bits"), std::string::npos) << why;
    }
    EXPECT_TRUE(NamesIn(dir.path().toStdString()).empty());
}

TEST_F(RowImageWriterTest, SuffixesOfOtherImageFormatsAreRefused) {
    std::string why;
    EXPECT_FALSE(RowImageWriter::Open(PathOf("pano.gif"), 10, 10, {}, &why));
    EXPECT_NE(why.find(".gif"), std::string::npos) << why;
    EXPECT_FALSE(RowImageWriter::WritesSuffixOf("pano.gif"));
    EXPECT_TRUE(RowImageWriter::WritesSuffixOf("pano.TIFF"));
    EXPECT_TRUE(NamesIn(dir.path().toStdString()).empty());
}

TEST_F(RowImageWriterTest, NoSuffixOrOneThatNamesNoFormatIsWrittenAsJpeg) {
    const Picture8 p = Gradient8(40, 30);
    for (const char* name : {"pano", "pano.final"}) {
        Write(PathOf(name), p);
        EXPECT_EQ(ReadBytes(PathOf(name)).substr(0, 3), "\xFF\xD8\xFF") << name;
    }
}

TEST_F(RowImageWriterTest, RowsThatDoNotFitWhatWasOpenedFail) {
    const Picture8 p = Gradient8(40, 30);
    std::string why;
    auto writer = RowImageWriter::Open(PathOf("pano.png"), 40, 20, {}, &why);
    ASSERT_TRUE(writer) << why;
    EXPECT_FALSE(writer->WriteRows(p.Row(0), 21, p.stride));
    EXPECT_NE(writer->Error().find("height"), std::string::npos) << writer->Error();
    EXPECT_FALSE(writer->WriteRows(p.Row(0), 1, p.stride));  // a failed writer stays failed
    EXPECT_FALSE(writer->Finish({}, &why));

    const Picture16 deep = Gradient16(40, 30);
    writer = RowImageWriter::Open(PathOf("pano.tif"), 40, 30, {}, &why);
    ASSERT_TRUE(writer) << why;
    EXPECT_FALSE(writer->WriteRows16(deep.Row(0), 1, deep.stride));
    EXPECT_NE(writer->Error().find("16-bit"), std::string::npos) << writer->Error();
    writer.reset();
    EXPECT_TRUE(NamesIn(dir.path().toStdString()).empty());
}

}  // namespace
