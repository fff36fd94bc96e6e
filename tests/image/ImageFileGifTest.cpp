#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <string>
#include <vector>

#include "image/ImageFile.h"

namespace {

void PutWord(std::string& out, int value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

// A GIF whose logical screen and first (only) frame have the given sizes, every pixel white.
// The pixel data is LZW with 3-bit codes, a clear code before each pixel so the code size
// never grows.
QByteArray Gif(int screenW, int screenH, int left, int top, int frameW, int frameH) {
    std::string gif = "GIF89a";
    PutWord(gif, screenW);
    PutWord(gif, screenH);
    gif += '\x80';                               // a global colour table of two entries
    gif += std::string("\0\0", 2);               // background colour, aspect ratio
    gif += std::string("\0\0\0\xFF\xFF\xFF", 6); // black, white
    gif += ',';
    PutWord(gif, left);
    PutWord(gif, top);
    PutWord(gif, frameW);
    PutWord(gif, frameH);
    gif += '\0';
    std::vector<int> codes = {4};
    for (int i = 0; i < frameW * frameH; ++i)
        codes.insert(codes.end(), {1, 4});
    codes.push_back(5);
    std::string packed;
    unsigned bits = 0;
    int count = 0;
    for (int code : codes) {
        bits |= static_cast<unsigned>(code) << count;
        for (count += 3; count >= 8; count -= 8, bits >>= 8)
            packed += static_cast<char>(bits & 0xFF);
    }
    if (count > 0)
        packed += static_cast<char>(bits & 0xFF);
    gif += '\x02'; // minimum code size
    for (size_t at = 0; at < packed.size(); at += 255) {
        std::string block = packed.substr(at, 255);
        gif += static_cast<char>(block.size());
        gif += block;
    }
    gif += std::string("\0;", 2);
    return QByteArray(gif.data(), static_cast<qsizetype>(gif.size()));
}

}  // namespace

// The size read without loading is the size the image loads with, even where a GIF's header
// says otherwise: in this Qt, a logical screen far wider than its first frame reads as the
// frame's 1 x 1 from the header and decodes to the whole 2010 x 1 screen. The other cases
// (a screen smaller than the frame, no screen size, a frame inside the screen) agree today.
TEST(ImageFileGif, SizeIsTheDecodedSize) {
    QTemporaryDir dir;
    struct Case {
        int screenW, screenH, left, top, frameW, frameH;
    };
    const Case cases[] = {{2010, 1, 0, 0, 1, 1}, {1, 1, 0, 0, 4, 3}, {0, 0, 5, 5, 4, 3}, {6, 5, 1, 1, 2, 2}};
    for (const Case& c : cases) {
        QString path = dir.filePath(QString("c%1x%2.gif").arg(c.screenW).arg(c.frameW));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(Gif(c.screenW, c.screenH, c.left, c.top, c.frameW, c.frameH));
        file.close();
        QImage decoded(path);
        ASSERT_FALSE(decoded.isNull());
        ImgRGB loaded;
        ASSERT_TRUE(LoadImageFile(loaded, 0, path));
        EXPECT_EQ(loaded.width, decoded.width());
        EXPECT_EQ(loaded.height, decoded.height());
        int w = 0, h = 0;
        ASSERT_TRUE(ReadImageFileSize(path, 0, &w, &h));
        EXPECT_EQ(w, decoded.width()) << path.toStdString();
        EXPECT_EQ(h, decoded.height()) << path.toStdString();
        ASSERT_TRUE(ReadImageFileSize(path, 1, &w, &h));
        EXPECT_EQ(w, decoded.height());
        EXPECT_EQ(h, decoded.width());
    }
}
