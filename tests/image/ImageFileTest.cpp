#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>

#include "image/ImageFile.h"

namespace {

// A small test card with a distinct colour in every pixel.
QImage TestCard(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb((x * 37) % 256, (y * 53) % 256, (x * y + 11) % 256));
    return img;
}

bool SamePixels(const ImgRGB& img, const QImage& reference) {
    if (img.width != reference.width() || img.height != reference.height())
        return false;
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x) {
            QRgb p = reference.pixel(x, y);
            const Rgb& q = img.At(x, y);
            if (q.r != qRed(p) || q.g != qGreen(p) || q.b != qBlue(p))
                return false;
        }
    return true;
}

QByteArray Head(const QString& path, int n) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.read(n);
}

}  // namespace

TEST(ImageFile, GrayFilesLoadWithEqualChannels) {
    QTemporaryDir dir;
    QImage gray(6, 4, QImage::Format_Grayscale8);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            gray.scanLine(y)[x] = static_cast<uchar>(x * 40 + y);
    QString path = dir.filePath("gray.png");
    ASSERT_TRUE(gray.save(path));
    ImgRGB img;
    ASSERT_TRUE(LoadImageFile(img, 0, path));
    ASSERT_EQ(img.width, 6);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) {
            EXPECT_EQ(img.At(x, y).b, x * 40 + y);
            EXPECT_EQ(img.At(x, y).g, img.At(x, y).b);
            EXPECT_EQ(img.At(x, y).r, img.At(x, y).b);
        }
}

TEST(ImageFile, OrientationCodes) {
    QTemporaryDir dir;
    QImage card = TestCard(5, 3);
    QString path = dir.filePath("card.png");
    ASSERT_TRUE(card.save(path));
    ImgRGB upright, cw, half, ccw;
    ASSERT_TRUE(LoadImageFile(upright, 0, path));
    ASSERT_TRUE(LoadImageFile(cw, 1, path));
    ASSERT_TRUE(LoadImageFile(half, 2, path));
    ASSERT_TRUE(LoadImageFile(ccw, 3, path));
    EXPECT_TRUE(SamePixels(upright, card));
    ASSERT_EQ(cw.width, 3);
    ASSERT_EQ(cw.height, 5);
    auto same = [](const Rgb& a, const Rgb& b) { return a.b == b.b && a.g == b.g && a.r == b.r; };
    EXPECT_TRUE(same(cw.At(0, 0), upright.At(0, 2)));  // bottom-left becomes top-left
    EXPECT_TRUE(same(cw.At(2, 4), upright.At(4, 0)));
    EXPECT_TRUE(same(half.At(0, 0), upright.At(4, 2)));
    ASSERT_EQ(ccw.width, 3);
    EXPECT_TRUE(same(ccw.At(0, 0), upright.At(4, 0)));  // top-right becomes top-left
    ImgRGB other;
    ASSERT_TRUE(LoadImageFile(other, 7, path));  // unknown codes leave the image as stored
    EXPECT_TRUE(SamePixels(other, card));
}

TEST(ImageFile, RoundTripsAndSuffixRule) {
    QTemporaryDir dir;
    QImage card = TestCard(16, 9);
    ImgRGB img;
    ASSERT_TRUE(card.save(dir.filePath("src.png")));
    ASSERT_TRUE(LoadImageFile(img, 0, dir.filePath("src.png")));
    for (const char* name : {"a.png", "a.bmp", "a.tif", "a.TIFF"}) {
        QString path = dir.filePath(name);
        ASSERT_TRUE(SaveImageFile(img, path)) << name;
        ImgRGB back;
        ASSERT_TRUE(LoadImageFile(back, 0, path)) << name;
        EXPECT_TRUE(SamePixels(back, card)) << name;
    }
    // JPEG is lossy: compare on a smooth picture, which quality 100 keeps within a few levels.
    QImage smooth(16, 9, QImage::Format_RGB32);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 16; ++x)
            smooth.setPixel(x, y, qRgb(x * 8, y * 16, 128));
    ASSERT_TRUE(smooth.save(dir.filePath("smooth.png")));
    ASSERT_TRUE(LoadImageFile(img, 0, dir.filePath("smooth.png")));
    for (const char* name : {"a.jpg", "a.JPEG", "a.unknown", "noSuffix"}) {
        QString path = dir.filePath(name);
        ASSERT_TRUE(SaveImageFile(img, path)) << name;
        EXPECT_TRUE(Head(path, 3) == QByteArray("\xFF\xD8\xFF", 3)) << name;  // JPEG data
        ImgRGB back;
        ASSERT_TRUE(LoadImageFile(back, 0, path)) << name;
        EXPECT_EQ(back.width, 16);
        double error = 0;
        for (int y = 0; y < 9; ++y)
            for (int x = 0; x < 16; ++x)
                error += std::abs(back.At(x, y).g - img.At(x, y).g);
        EXPECT_LT(error / (16 * 9), 3) << name;
    }
    EXPECT_EQ(QImageReader::imageFormat(dir.filePath("a.JPEG")), QByteArray("jpeg"));
    EXPECT_FALSE(SaveImageFile(img, dir.filePath("a.gif")));  // no GIF writer
    EXPECT_FALSE(SaveImageFile(ImgRGB(), dir.filePath("empty.png")));
}

TEST(ImageFile, BadFilesFailAndLeaveTheTargetAlone) {
    QTemporaryDir dir;
    ImgRGB target(2, 2);
    target.FillRect(0, 0, 1, 1, Rgb{1, 2, 3});
    auto write = [&](const char* name, const QByteArray& bytes) {
        QFile f(dir.filePath(name));
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return dir.filePath(name);
    };
    QImage card = TestCard(64, 48);
    card.save(dir.filePath("good.jpg"), nullptr, 90);
    QFile good(dir.filePath("good.jpg"));
    good.open(QIODevice::ReadOnly);
    QByteArray jpeg = good.readAll();
    QStringList bad = {write("empty.jpg", QByteArray()),
                       write("text.png", "this is not an image"),
                       write("garbage.bmp", QByteArray(300, '\x7f')),
                       write("header.jpg", jpeg.left(4)),
                       dir.filePath("missing.png"),
                       dir.path()};
    for (const QString& path : bad) {
        EXPECT_FALSE(LoadImageFile(target, 0, path)) << path.toStdString();
        EXPECT_EQ(target.width, 2);
        EXPECT_EQ(target.At(1, 1).g, 2);
    }
    // A truncated JPEG decodes partly or fails; either way nothing crashes.
    ImgRGB partial;
    LoadImageFile(partial, 1, write("cut.jpg", jpeg.left(jpeg.size() / 2)));
}

// The decode limit holds for every loader, also once an image has been loaded before (the
// loaders must not put their own default back over it), and lifting it loads the image again.
TEST(ImageFile, DecodeLimitRefusesLargerImages) {
    QTemporaryDir dir;
    QString path = dir.filePath("wide.png");
    ASSERT_TRUE(TestCard(1200, 1000).save(path));  // 4.8 MB once decoded
    ImgRGB colour;
    ASSERT_TRUE(LoadImageFile(colour, 0, path));
    SetImageDecodeLimitMegabytes(2);
    ImgRGB refused;
    ImgFLOAT refusedGray;
    EXPECT_FALSE(LoadImageFile(refused, 0, path));
    EXPECT_FALSE(LoadImageFileGray(refusedGray, 0, path.toLocal8Bit().constData()));
    EXPECT_FALSE(refused.HasPixels());
    SetImageDecodeLimitMegabytes(kDefaultImageDecodeLimitMegabytes);
    EXPECT_TRUE(LoadImageFile(refused, 1, path));
    EXPECT_EQ(refused.width, 1000);
}

TEST(ImageFile, GrayLoadingEqualsColourLoadAndCopy) {
    QTemporaryDir dir;
    QImage card = TestCard(13, 7);
    QString path = dir.filePath("card.png");
    ASSERT_TRUE(card.save(path));
    for (int orientation : {0, 1, 2, 3}) {
        ImgRGB colour;
        ASSERT_TRUE(LoadImageFile(colour, orientation, path));
        ImgFLOAT expected(colour.width, colour.height);
        colour.CopyTo(expected);
        ImgFLOAT gray;
        ASSERT_TRUE(LoadImageFileGray(gray, orientation, path));
        ASSERT_EQ(gray.width, expected.width);
        ASSERT_EQ(gray.height, expected.height);
        for (int y = 0; y < gray.height; ++y)
            for (int x = 0; x < gray.width; ++x)
                ASSERT_EQ(gray.At(x, y), expected.At(x, y)) << orientation;
    }
    ImgFLOAT untouched(2, 2);
    EXPECT_FALSE(LoadImageFileGray(untouched, 0, dir.filePath("missing.png")));
    EXPECT_EQ(untouched.width, 2);
}

TEST(ImageFile, SizeFromTheHeaderWithOrientation) {
    QTemporaryDir dir;
    QString path = dir.filePath("card.jpg");
    ASSERT_TRUE(TestCard(30, 20).save(path));
    int w = 0, h = 0;
    ASSERT_TRUE(ReadImageFileSize(path, 0, &w, &h));
    EXPECT_EQ(w, 30);
    EXPECT_EQ(h, 20);
    ASSERT_TRUE(ReadImageFileSize(path, 1, &w, &h));
    EXPECT_EQ(w, 20);
    EXPECT_EQ(h, 30);
    EXPECT_FALSE(ReadImageFileSize(dir.path(), 0, &w, &h));
    EXPECT_FALSE(ReadImageFileSize(dir.filePath("none.png"), 0, &w, &h));
}
