#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QBuffer>
#include <QByteArray>
#include <QImage>

#include <string>

#include "image/ImageFile.h"
#include "support/NamedPipe.h"
#include "support/TempFolder.h"

namespace {

QImage TestCard() {
    QImage card(5, 3, QImage::Format_RGB32);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            card.setPixel(x, y, qRgb(x * 50, y * 80, 200 - x * 10));
    return card;
}

std::string Encoded(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes.toStdString();
}

// Creates a file by the exact bytes of its name, as any program may.
void WriteByName(const std::string& path, const std::string& bytes) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    ::close(fd);
}

bool ExistsByName(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool Matches(const ImgRGB& img, const QImage& card) {
    if (img.width != card.width() || img.height != card.height())
        return false;
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x) {
            QRgb p = card.pixel(x, y);
            if (img.At(x, y).r != qRed(p) || img.At(x, y).g != qGreen(p) || img.At(x, y).b != qBlue(p))
                return false;
        }
    return true;
}

}  // namespace

// File names are bytes. One that is not valid UTF-8 (here Latin-1 and stray bytes) names an
// existing file all the same, and loads, sizes and saves by those bytes; valid UTF-8 names
// given as bytes behave as the QString functions do.
TEST(ImageFileBytePath, NamesThatAreNotUtf8Load) {
    TempFolder temp;
    QImage card = TestCard();
    const std::string latin = temp.Path("fotografie-\xE9t\xE9-\xFF.png");
    const std::string utf8 = temp.Path("fotografie-l\xC3\xA9to.png");
    const std::string jpegNamedPng = temp.Path("jpeg-\xE9.png");
    for (const std::string& path : {latin, utf8})
        WriteByName(path, Encoded(card, "PNG"));
    WriteByName(jpegNamedPng, Encoded(card, "JPEG"));

    for (const std::string& path : {latin, utf8}) {
        ImgRGB colour;
        ASSERT_TRUE(LoadImageFile(colour, 0, path.c_str())) << path;
        EXPECT_TRUE(Matches(colour, card));
        ImgRGB turned;
        ASSERT_TRUE(LoadImageFile(turned, 1, path.c_str()));
        EXPECT_EQ(turned.width, 3);
        ImgFLOAT gray;
        ASSERT_TRUE(LoadImageFileGray(gray, 2, path.c_str()));
        EXPECT_EQ(gray.width, 5);
        int w = 0, h = 0;
        ASSERT_TRUE(ReadImageFileSize(path.c_str(), 3, &w, &h));
        EXPECT_EQ(w, 3);
        EXPECT_EQ(h, 5);
    }
    ImgRGB fromJpeg;
    ASSERT_TRUE(LoadImageFile(fromJpeg, 0, jpegNamedPng.c_str()));  // told by its content
    EXPECT_EQ(fromJpeg.width, 5);

    ImgRGB colour;
    ASSERT_TRUE(LoadImageFile(colour, 0, latin.c_str()));
    for (const char* name : {"out-\xE9.png", "out-\xE9.TIF", "out-\xE9.bmp", "out-\xE9"}) {
        std::string out = temp.Path(name);
        ASSERT_TRUE(SaveImageFile(colour, out.c_str())) << name;
        ASSERT_TRUE(ExistsByName(out)) << name;
        ImgRGB back;
        ASSERT_TRUE(LoadImageFile(back, 0, out.c_str())) << name;
        EXPECT_EQ(back.width, 5);
        if (std::string(name).find('.') != std::string::npos) {
            EXPECT_TRUE(Matches(back, card)) << name;  // lossless formats
        }
    }
    std::string gif = temp.Path("out-\xE9.gif");
    EXPECT_FALSE(SaveImageFile(colour, gif.c_str()));  // no GIF writer, and no empty file left
    EXPECT_FALSE(ExistsByName(gif));

    ImgRGB untouched(2, 2);
    EXPECT_FALSE(LoadImageFile(untouched, 0, temp.Path("missing-\xE9.png").c_str()));
    EXPECT_FALSE(LoadImageFile(untouched, 0, temp.Folder().c_str()));
    std::string pipePath = temp.Path("pipe-\xE9.png");
    {
        NamedPipe pipe(pipePath, Encoded(card, "PNG"));
        ASSERT_TRUE(pipe.Created());
        EXPECT_FALSE(LoadImageFile(untouched, 0, pipePath.c_str()));
    }
    EXPECT_EQ(untouched.width, 2);
    EXPECT_FALSE(LoadImageFile(untouched, 0, static_cast<const char*>(nullptr)));
}
