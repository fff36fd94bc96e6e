#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QTemporaryDir>

#include <memory>
#include <vector>

#include "view/BitmapImageFile.h"
#include "view/GuiBitmap.h"
#include "view/GuiMgr.h"

namespace {

// A 40 x 30 PNG whose pixel (x, y) has red x * 6, green y * 8 and blue 200.
QString WriteTestPicture(const QTemporaryDir& dir) {
    QImage img(40, 30, QImage::Format_RGB32);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            img.setPixel(x, y, qRgb(x * 6, y * 8, 200));
    const QString path = dir.filePath("picture.png");
    EXPECT_TRUE(img.save(path));
    return path;
}

}  // namespace

TEST(BitmapFile, LoadsWithTheSourceRotationAndMarksTheUpload) {
    QTemporaryDir dir;
    const QString path = WriteTestPicture(dir);
    GuiBitmap bitmap;
    ASSERT_TRUE(LoadImageFileToBitmap(bitmap, 0, path));
    EXPECT_EQ(bitmap.Image().width, 40);
    EXPECT_EQ(bitmap.Image().height, 30);
    EXPECT_EQ(bitmap.Image().At(5, 3).r, 30);
    EXPECT_EQ(bitmap.Image().At(5, 3).g, 24);
    EXPECT_EQ(bitmap.Image().At(5, 3).b, 200);
    EXPECT_TRUE(bitmap.NeedsGLResources());

    // Turned clockwise: 30 x 40, the top-left pixel is the source's bottom-left.
    GuiBitmap turned;
    ASSERT_TRUE(LoadImageFileToBitmap(turned, 1, path));
    EXPECT_EQ(turned.Image().width, 30);
    EXPECT_EQ(turned.Image().height, 40);
    EXPECT_EQ(turned.Image().At(0, 0).r, 0);
    EXPECT_EQ(turned.Image().At(0, 0).g, 29 * 8);
    // The rectangle is the caller's to size; the helper does it for new pictures.
    auto fresh = NewBitmapFromFile(path, 3);
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(fresh->Width(), 30);
    EXPECT_EQ(fresh->Height(), 40);
    EXPECT_EQ(fresh->Flags(), unsigned(kGuiVisible | kGuiMovable));
    EXPECT_EQ(fresh->Name(), path.toStdString());
}

TEST(BitmapFile, AFailedLoadLeavesNothingHalfBuilt) {
    QTemporaryDir dir;
    const QString good = WriteTestPicture(dir);
    const QString missing = dir.filePath("missing.jpg");
    const QString broken = dir.filePath("broken.jpg");
    {
        QFile f(broken);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("\xFF\xD8\xFF\xE0 this is not a photograph");
    }
    // A bitmap keeps its old pixels and its texture state when a reload fails.
    GuiBitmap bitmap;
    ASSERT_TRUE(LoadImageFileToBitmap(bitmap, 0, good));
    bitmap.SetTextureLimit(0);
    const uint8_t before = bitmap.Image().At(7, 7).r;
    EXPECT_FALSE(LoadImageFileToBitmap(bitmap, 1, missing));
    EXPECT_FALSE(LoadImageFileToBitmap(bitmap, 0, broken));
    EXPECT_EQ(bitmap.Image().width, 40);
    EXPECT_EQ(bitmap.Image().At(7, 7).r, before);

    // The way the window fills its view: only pictures that loaded enter the scene, and the
    // others are reported by path.
    GuiMgr mgr;
    std::vector<std::unique_ptr<GuiBitmap>> pictures;
    std::vector<QString> failed;
    for (const QString& path : {good, missing, broken, good}) {
        auto picture = NewBitmapFromFile(path, 0);
        if (!picture) {
            failed.push_back(path);
            continue;
        }
        mgr.Add(picture.get());
        pictures.push_back(std::move(picture));
    }
    EXPECT_EQ(mgr.Layer(0).Objects().size(), 2u);
    EXPECT_EQ(failed, (std::vector<QString>{missing, broken}));
    for (GuiObj* obj : mgr.Layer(0).Objects())
        EXPECT_EQ(static_cast<GuiBitmap*>(obj)->Image().width, 40);
}
