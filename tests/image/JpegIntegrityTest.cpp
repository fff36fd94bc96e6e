#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QTemporaryDir>

#include "image/ImageFile.h"
#include "image/JpegIntegrity.h"

namespace {

QByteArray Jpeg(bool progressive) {
    QImage img(97, 61, QImage::Format_RGB32);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            img.setPixel(x, y, qRgb((x * 37) % 256, (y * 53) % 256, (x * y + 11) % 256));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(90);
    writer.setProgressiveScanWrite(progressive);
    EXPECT_TRUE(writer.write(img));
    return bytes;
}

}  // namespace

TEST(JpegIntegrity, WholeFilesPassAndCutFilesAreCaught) {
    for (bool progressive : {false, true}) {
        const QByteArray whole = Jpeg(progressive);
        ASSERT_GT(whole.size(), 200);
        EXPECT_TRUE(JpegDataComplete(whole)) << progressive;
        // Bytes after the end-of-image marker (some cameras append data) do not matter.
        EXPECT_TRUE(JpegDataComplete(whole + QByteArray(100, '\x17'))) << progressive;
        for (qsizetype cut : {qsizetype(3), qsizetype(20), whole.size() / 3, whole.size() / 2, whole.size() - 3,
                              whole.size() - 2, whole.size() - 1})
            EXPECT_FALSE(JpegDataComplete(whole.left(cut))) << progressive << " cut at " << cut;
    }
    // Data that is not JPEG is not this check's business.
    EXPECT_TRUE(JpegDataComplete(QByteArray("\x89PNG\r\n\x1a\n")));
    EXPECT_TRUE(JpegDataComplete(QByteArray()));
}

TEST(JpegIntegrity, TheLoadersRefuseACutFile) {
    QTemporaryDir dir;
    const QByteArray whole = Jpeg(false);
    const QString good = dir.filePath("good.jpg"), cut = dir.filePath("cut.jpg");
    QFile g(good), c(cut);
    ASSERT_TRUE(g.open(QIODevice::WriteOnly) && c.open(QIODevice::WriteOnly));
    g.write(whole);
    c.write(whole.left(whole.size() * 2 / 3));
    g.close();
    c.close();
    ImgRGB rgb;
    ImgFLOAT gray;
    EXPECT_TRUE(LoadImageFile(rgb, 0, good));
    EXPECT_TRUE(LoadImageFileGray(gray, 0, good));
    EXPECT_TRUE(IsTruncatedJpeg(cut));
    EXPECT_FALSE(IsTruncatedJpeg(good));
    EXPECT_FALSE(LoadImageFile(rgb, 0, cut));
    EXPECT_FALSE(LoadImageFileGray(gray, 0, cut));
    EXPECT_EQ(rgb.width, 97);  // the target is left as it was
}
