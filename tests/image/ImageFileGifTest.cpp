#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include "image/ImageFile.h"
#include "support/HandMadeGif.h"

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
        file.write(HandMadeGif(c.screenW, c.screenH, c.left, c.top, c.frameW, c.frameH));
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
