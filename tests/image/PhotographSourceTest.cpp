#include <gtest/gtest.h>

#include <QImage>
#include <QTemporaryDir>

#include "image/PhotographSource.h"

// The one way every stage decodes a project's photographs: by index, turned by the project's
// source rotation, and a photograph that cannot be read named by its file.
TEST(PhotographSource, DecodesTurnedAndNamesWhatItCannotRead) {
    QTemporaryDir dir;
    const std::string good = dir.filePath("wide.png").toStdString();
    QImage card(30, 20, QImage::Format_RGB32);
    card.fill(qRgb(200, 100, 50));
    card.setPixel(0, 0, qRgb(1, 2, 3));
    ASSERT_TRUE(card.save(QString::fromStdString(good)));
    const std::string missing = dir.filePath("gone.jpg").toStdString();

    const PhotographSource upright({good, missing}, 0);
    ImgRGB image;
    upright.Load(0, image);
    EXPECT_EQ(image.width, 30);
    EXPECT_EQ(image.height, 20);
    EXPECT_EQ(image.At(0, 0).r, 1);
    ImgFLOAT gray;
    upright.LoadGray(0, gray);
    EXPECT_EQ(gray.width, 30);

    // A quarter turn clockwise: the top-left pixel ends at the top right.
    const PhotographSource turned({good}, 1);
    turned.Load(0, image);
    EXPECT_EQ(image.width, 20);
    EXPECT_EQ(image.height, 30);
    EXPECT_EQ(image.At(19, 0).r, 1);

    ImgRGB untouched(4, 4);
    EXPECT_FALSE(upright.TryLoad(1, untouched));
    EXPECT_EQ(untouched.width, 4);
    try {
        upright.Load(1, untouched);
        FAIL() << "no exception";
    } catch (const UnreadablePhotograph& unreadable) {
        EXPECT_EQ(unreadable.index, 1);
        EXPECT_EQ(unreadable.reason,
                  "cannot read the photograph " + missing + " (missing, unreadable or not an image)");
    }
    EXPECT_THROW(upright.LoadGray(1, gray), UnreadablePhotograph);
    // An index outside the project is a photograph that cannot be read, not a crash.
    EXPECT_FALSE(upright.TryLoad(2, untouched));
    EXPECT_THROW(upright.Load(-1, untouched), UnreadablePhotograph);
}

// A JPEG is reduced by the decoder as far as the asked width allows (1/2, 1/4, 1/8), turned by
// the source rotation like a whole load; other formats come whole.
TEST(PhotographSource, ReducedLoadsHalveAJpegWhileDecodingAndLeaveOtherFormatsWhole) {
    QTemporaryDir dir;
    QImage card(800, 600, QImage::Format_RGB32);
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x)
            card.setPixel(x, y, qRgb(x % 256, y % 256, (x + y) % 256));
    const std::string jpeg = dir.filePath("card.jpg").toStdString(), png = dir.filePath("card.png").toStdString();
    ASSERT_TRUE(card.save(QString::fromStdString(jpeg), "JPEG", 95));
    ASSERT_TRUE(card.save(QString::fromStdString(png)));
    ImgRGB image;
    PhotographSource({jpeg}, 0).LoadReduced(0, image, 300);
    EXPECT_EQ(image.width, 400);  // a quarter would be 200 wide, too narrow
    EXPECT_EQ(image.height, 300);
    PhotographSource({jpeg}, 0).LoadReduced(0, image, 100);
    EXPECT_EQ(image.width, 100);
    PhotographSource({jpeg}, 0).LoadReduced(0, image, 801);
    EXPECT_EQ(image.width, 800);
    // Turned a quarter: the upright width is the stored height.
    PhotographSource({jpeg}, 1).LoadReduced(0, image, 150);
    EXPECT_EQ(image.width, 150);
    EXPECT_EQ(image.height, 200);
    PhotographSource({png}, 0).LoadReduced(0, image, 100);
    EXPECT_EQ(image.width, 800);
    EXPECT_THROW(PhotographSource({dir.filePath("gone.jpg").toStdString()}, 0).LoadReduced(0, image, 100),
                 UnreadablePhotograph);
}
