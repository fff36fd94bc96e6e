// Photographs stored sideways or mirrored with an EXIF Orientation are loaded upright, in every
// way a photograph is loaded, before the project's own rotation.
#include <gtest/gtest.h>

#include <QImage>

#include <cstdlib>
#include <functional>
#include <string>

#include "image/ImageFile.h"
#include "image/PhotoMetadata.h"
#include "support/ExifTags.h"
#include "support/TempFolder.h"

namespace {

// Whole JPEG blocks on both sides, so that the turned copies compress alike.
constexpr int kWidth = 64, kHeight = 32;

// Red grows to the right, green downwards, and the top-left quarter is blue: every turn and
// mirror of it differs.
QRgb Upright(int x, int y) {
    const int blue = x < kWidth / 2 && y < kHeight / 2 ? 220 : 20;
    return qRgb(x * 255 / (kWidth - 1), y * 255 / (kHeight - 1), blue);
}

// The stored pixel (i, j) of a photograph whose Orientation value is `orientation`, such that a
// viewer that honours it shows Upright.
QRgb Stored(int orientation, int i, int j) {
    switch (orientation) {
    case 2: return Upright(kWidth - 1 - i, j);                // mirrored left to right
    case 3: return Upright(kWidth - 1 - i, kHeight - 1 - j);  // upside down
    case 4: return Upright(i, kHeight - 1 - j);               // mirrored top to bottom
    case 5: return Upright(j, i);                             // mirrored across the diagonal
    case 6: return Upright(kWidth - 1 - j, i);                // to be turned clockwise
    case 7: return Upright(kWidth - 1 - j, kHeight - 1 - i);  // the other diagonal
    case 8: return Upright(j, kHeight - 1 - i);               // to be turned counter-clockwise
    default: return Upright(i, j);
    }
}

std::string WriteTagged(const TempFolder& folder, int orientation) {
    const bool turned = orientation >= 5;
    QImage stored(turned ? kHeight : kWidth, turned ? kWidth : kHeight, QImage::Format_RGB32);
    for (int j = 0; j < stored.height(); ++j)
        for (int i = 0; i < stored.width(); ++i)
            stored.setPixel(i, j, Stored(orientation, i, j));
    const std::string path = folder.Path("o" + std::to_string(orientation) + ".jpg");
    EXPECT_TRUE(stored.save(QString::fromStdString(path), "JPEG", 100));
    WriteExifTags(path, {{"Exif.Image.Orientation", std::to_string(orientation)}});
    return path;
}

// The mean difference per channel between a loaded image and `expected` (x, y) of the same size.
double MeanDifference(const ImgRGB& image, const std::function<QRgb(int, int)>& expected) {
    double sum = 0;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const Rgb p = image.At(x, y);
            const QRgb q = expected(x, y);
            sum += std::abs(p.r - qRed(q)) + std::abs(p.g - qGreen(q)) + std::abs(p.b - qBlue(q));
        }
    return sum / (3.0 * image.width * image.height);
}

}  // namespace

TEST(ExifOrientation, EveryValueLoadsUprightWithTheProjectRotationAfterIt) {
    TempFolder folder;
    for (int orientation = 1; orientation <= 8; ++orientation) {
        SCOPED_TRACE("Orientation " + std::to_string(orientation));
        const std::string path = WriteTagged(folder, orientation);
        ASSERT_EQ(ExifTag(path, "Exif.Image.Orientation"), std::to_string(orientation));

        ImgRGB image;
        ASSERT_TRUE(LoadImageFile(image, kOrientationNone, path.c_str()));
        ASSERT_EQ(image.width, kWidth);
        ASSERT_EQ(image.height, kHeight);
        EXPECT_LT(MeanDifference(image, Upright), 4.0);
        // The stored pixels as they are would be far off: the test tells the values apart.
        if (orientation != 1) {
            EXPECT_GT(MeanDifference(image, [&](int x, int y) { return Stored(orientation, x, y); }), 20.0);
        }

        int width = 0, height = 0;
        ASSERT_TRUE(ReadImageFileSize(path.c_str(), kOrientationNone, &width, &height));
        EXPECT_EQ(width, kWidth);
        EXPECT_EQ(height, kHeight);

        // The gray load and the load reduced while decoding see the same upright photograph.
        ImgFLOAT gray;
        ASSERT_TRUE(LoadImageFileGray(gray, kOrientationNone, path.c_str()));
        EXPECT_EQ(gray.width, kWidth);
        ASSERT_EQ(gray.height, kHeight);
        double grayDifference = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const QRgb q = Upright(x, y);
                grayDifference += std::abs(gray.At(x, y) - (11.0 * qBlue(q) + 16.0 * qGreen(q) + 5.0 * qRed(q)) / 32);
            }
        EXPECT_LT(grayDifference / (kWidth * kHeight), 4.0);
        ImgRGB reduced;
        ASSERT_TRUE(LoadImageFileReduced(reduced, kOrientationNone, path.c_str(), kWidth / 2));
        EXPECT_EQ(reduced.width, kWidth / 2);
        EXPECT_EQ(reduced.height, kHeight / 2);

        // The project's quarter turn clockwise comes after: the upright photograph turned.
        ImgRGB turned;
        ASSERT_TRUE(LoadImageFile(turned, kOrientationCw90, path.c_str()));
        ASSERT_EQ(turned.width, kHeight);
        ASSERT_EQ(turned.height, kWidth);
        EXPECT_LT(MeanDifference(turned, [](int x, int y) { return Upright(y, kHeight - 1 - x); }), 4.0);
        ASSERT_TRUE(ReadImageFileSize(path.c_str(), kOrientationCw90, &width, &height));
        EXPECT_EQ(width, kHeight);
        EXPECT_EQ(height, kWidth);
    }
}

TEST(ExifOrientation, TheRecordedFocalLengthInPixels) {
    TempFolder folder;
    const std::string path = WriteTagged(folder, 1);
    EXPECT_EQ(RecordedFocalLengthPixels(ReadPhotoMetadata(path), kWidth, kHeight), 0);

    // 35 mm equivalent over the diagonal: 43.27 mm of a 35 mm frame.
    WriteExifTags(path, {{"Exif.Photo.FocalLengthIn35mmFilm", "50"}});
    EXPECT_NEAR(RecordedFocalLengthPixels(ReadPhotoMetadata(path), 3000, 2000), 50 * 3605.55 / 43.2666, 0.1);
    // Without it, the focal length on a sensor of 200 pixels a millimetre (5080 an inch), taken at
    // 6000 pixels and reduced to 3000 since.
    WriteExifTags(path, {{"Exif.Photo.FocalLengthIn35mmFilm", "0"},
                         {"Exif.Photo.FocalLength", "24/1"},
                         {"Exif.Photo.FocalPlaneXResolution", "5080/1"},
                         {"Exif.Photo.FocalPlaneResolutionUnit", "2"},
                         {"Exif.Photo.PixelXDimension", "6000"}});
    const PhotoMetadata metadata = ReadPhotoMetadata(path);
    EXPECT_TRUE(metadata.problem.empty()) << metadata.problem;
    EXPECT_NEAR(RecordedFocalLengthPixels(metadata, 3000, 2000), 24 * 200 / 2.0, 1e-6);
    EXPECT_NEAR(RecordedFocalLengthPixels(metadata, 2000, 3000), 24 * 200 / 2.0, 1e-6);  // upright

    // A file without metadata and one Exiv2 does not know are no problem.
    EXPECT_TRUE(ReadPhotoMetadata(folder.Path("missing.jpg")).problem.empty());
}
