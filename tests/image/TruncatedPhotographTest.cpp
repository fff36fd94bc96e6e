// A BMP or GIF cut short decodes in Qt without a word, its missing rows left as the memory
// held them; decoded into a reused block, that memory is another photograph's. Such a file is
// refused like a truncated JPEG, and a whole one decodes inside the reuse scope exactly as it
// does outside it.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include "image/ImageDataComplete.h"
#include "image/ImageFile.h"
#include "image/LargeBlocks.h"
#include "support/HandMadeGif.h"
#include "support/SamePixels.h"

namespace {

QByteArray FileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

ImgRGB Pattern(int width, int height, int seed) {
    ImgRGB image(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.At(x, y) = Rgb{uint8_t((x * 3 + seed) & 255), uint8_t((y * 5 + seed) & 255), uint8_t(seed)};
    return image;
}

}  // namespace

TEST(TruncatedPhotograph, BmpAndGifCutShortAreRefusedAndWholeOnesDecodeAsOutsideTheReuse) {
    QTemporaryDir dir;
    const QString earlier = dir.filePath("earlier.bmp"), whole = dir.filePath("whole.bmp");
    ASSERT_TRUE(SaveImageFile(Pattern(700, 500, 90), earlier, 100));
    ASSERT_TRUE(SaveImageFile(Pattern(700, 500, 17), whole, 100));
    const QByteArray bmp = FileBytes(whole);
    const QString cut = dir.filePath("cut.bmp");
    WriteFile(cut, bmp.left(bmp.size() / 2));
    const QByteArray gif = HandMadeGif(40, 30, 0, 0, 40, 30);
    const QString wholeGif = dir.filePath("whole.gif"), cutGif = dir.filePath("cut.gif");
    WriteFile(wholeGif, gif);
    WriteFile(cutGif, gif.left(gif.size() - 20));

    EXPECT_TRUE(BmpDataComplete(bmp));
    EXPECT_FALSE(BmpDataComplete(bmp.left(bmp.size() - 1)));
    EXPECT_TRUE(BmpDataComplete(bmp + "trailing"));
    EXPECT_TRUE(GifDataComplete(gif));
    EXPECT_TRUE(GifDataComplete(gif.left(gif.size() - 1)));  // only the trailer missing: the frame is whole
    EXPECT_FALSE(GifDataComplete(gif.left(gif.size() - 3)));
    EXPECT_TRUE(BmpDataComplete("not an image at all"));
    EXPECT_TRUE(GifDataComplete(QByteArray("\xFF\xD8\xFF", 3)));

    ImgRGB fresh, freshGif;
    ASSERT_TRUE(LoadImageFile(fresh, 0, whole));
    ASSERT_TRUE(LoadImageFile(freshGif, 0, wholeGif));
    {
        const LargeBlockReuse reuse;
        for (int round = 0; round < 2; ++round) {
            ImgRGB image;
            ASSERT_TRUE(LoadImageFile(image, 0, earlier));  // leaves its pixels in a block for reuse
            image = ImgRGB();
            ImgRGB loaded;
            EXPECT_FALSE(LoadImageFile(loaded, 0, cut));
            EXPECT_FALSE(LoadImageFile(loaded, 0, cutGif));
            ImgFLOAT gray;
            EXPECT_FALSE(LoadImageFileGray(gray, 0, cut));
            ASSERT_TRUE(LoadImageFile(loaded, 0, whole));
            EXPECT_TRUE(SamePixels(loaded, fresh));
            ASSERT_TRUE(LoadImageFile(loaded, 0, wholeGif));
            EXPECT_TRUE(SamePixels(loaded, freshGif));
        }
    }
}
