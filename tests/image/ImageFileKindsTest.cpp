#include <gtest/gtest.h>

#include <QBuffer>
#include <QByteArray>
#include <QImage>

#include <fstream>
#include <iterator>
#include <string>

#include "image/ImageFile.h"
#include "image/ImgTypes.h"
#include "support/NamedPipe.h"
#include "support/TempFolder.h"

namespace {

std::string PngBytes() {
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(qRgb(10, 20, 30));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes.toStdString();
}

// A valid raw image file, as the raw writer makes it.
std::string RawBytes() {
    ImgUCHAR image(4, 3);
    image.FillRect(0, 0, 3, 2, 7);
    TempFolder temp;
    EXPECT_TRUE(image.Save(temp.Path("raw").c_str()));
    std::ifstream in(temp.Path("raw"), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

// Image files are opened only when they are regular files: a named pipe would make the
// decoder wait for a writer, a device would feed it without end.
TEST(ImageFileKinds, PipesAndDevicesAreRefused) {
    TempFolder temp;
    std::string pipePath = temp.Path("photo.png");
    QString pipeName = QString::fromStdString(pipePath);
    ImgRGB colour;
    ImgFLOAT gray;
    ImgUCHAR raw;
    int w = 0, h = 0;
    {
        NamedPipe pipe(pipePath, PngBytes());
        ASSERT_TRUE(pipe.Created());
        EXPECT_FALSE(LoadImageFile(colour, 0, pipeName));
    }
    ::unlink(pipePath.c_str());
    {
        NamedPipe pipe(pipePath, PngBytes());
        EXPECT_FALSE(LoadImageFileGray(gray, 0, pipeName));
    }
    ::unlink(pipePath.c_str());
    {
        NamedPipe pipe(pipePath, PngBytes());
        EXPECT_FALSE(ReadImageFileSize(pipeName, 0, &w, &h));
    }
    ::unlink(pipePath.c_str());
    {
        NamedPipe pipe(pipePath, RawBytes());
        EXPECT_FALSE(raw.Load(pipePath.c_str()));
    }
    for (const char* device : {"/dev/zero", "/dev/null"}) {
        EXPECT_FALSE(LoadImageFile(colour, 0, QString(device)));
        EXPECT_FALSE(LoadImageFileGray(gray, 0, QString(device)));
        EXPECT_FALSE(ReadImageFileSize(QString(device), 0, &w, &h));
        EXPECT_FALSE(raw.Load(device));
    }
    EXPECT_FALSE(colour.HasPixels());
    EXPECT_FALSE(raw.HasPixels());
}
