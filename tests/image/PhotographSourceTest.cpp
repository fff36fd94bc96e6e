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
