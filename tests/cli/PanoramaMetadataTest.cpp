// What a panorama's file carries beside its pixels: the reference photograph's EXIF made true of
// the panorama, its colour profile, and for a spherical panorama the photo-sphere XMP that
// places it on the full sphere; JPEG, PNG and TIFF alike.
#include <gtest/gtest.h>

#include <QColorSpace>
#include <QImage>

#include <cmath>
#include <string>

#include "image/ExivSetup.h"
#include "render/CamerasFile.h"
#include "support/ExifTags.h"
#include "support/RenderedViews.h"
#include "support/RunProgram.h"

namespace {

// A photograph of a trip: camera, exposure, time, place and the direction it looked in, with a
// thumbnail, stored upright, and a colour profile of its own.
void TagLikeACamera(const std::string& path) {
    WriteExifTags(path, {{"Exif.Image.Make", "TestCam"},
                         {"Exif.Image.Model", "Model 7"},
                         {"Exif.Image.Orientation", "1"},
                         {"Exif.Photo.DateTimeOriginal", "2026:05:01 10:20:30"},
                         {"Exif.Photo.ExposureTime", "1/250"},
                         {"Exif.Photo.FNumber", "8/1"},
                         {"Exif.Photo.PixelXDimension", "320"},
                         {"Exif.Photo.PixelYDimension", "240"},
                         {"Exif.GPSInfo.GPSLatitudeRef", "N"},
                         {"Exif.GPSInfo.GPSLatitude", "47/1 30/1 0/1"},
                         {"Exif.GPSInfo.GPSImgDirectionRef", "T"},
                         {"Exif.GPSInfo.GPSImgDirection", "120/1"}});
    auto image = Exiv2::ImageFactory::open(path);
    image->readMetadata();
    Exiv2::ExifThumb thumb(image->exifData());
    const std::string jpeg = ReadAll(path);
    thumb.setJpegThumbnail(reinterpret_cast<const Exiv2::byte*>(jpeg.data()), static_cast<long>(jpeg.size()));
    image->writeMetadata();
    const QByteArray profile = QColorSpace(QColorSpace::AdobeRgb).iccProfile();
    WriteIccProfile(path, profile.toStdString());
}

RunResult Stitch(const RenderedViews& set, const std::vector<std::string>& options) {
    std::vector<std::string> args = {"-q", "--seed", "3"};
    args.insert(args.end(), options.begin(), options.end());
    args.insert(args.end(), {set.Path(0), set.Path(1)});
    return RunProgram(VEDORA_STITCH, args, set.Folder());
}

// The EXIF that holds of the panorama, whatever the format.
void ExpectPanoramaExif(const std::string& path) {
    SCOPED_TRACE(path);
    const QImage pixels(QString::fromStdString(path));
    ASSERT_FALSE(pixels.isNull());
    const FileMetadata file(path);
    EXPECT_EQ(file.Exif("Exif.Image.Make"), "TestCam");
    EXPECT_EQ(file.Exif("Exif.Image.Model"), "Model 7");
    EXPECT_EQ(file.Exif("Exif.Photo.DateTimeOriginal"), "2026:05:01 10:20:30");
    // A TIFF's rationals pass through libtiff's floating point: equal, not to the last digit.
    EXPECT_NEAR(file.ExifNumber("Exif.Photo.ExposureTime"), 1 / 250.0, 1e-7);
    EXPECT_NEAR(file.ExifNumber("Exif.GPSInfo.GPSLatitude", 0), 47, 1e-6);
    EXPECT_NEAR(file.ExifNumber("Exif.GPSInfo.GPSLatitude", 1), 30, 1e-6);
    EXPECT_EQ(file.Exif("Exif.Image.Orientation"), "1");
    EXPECT_EQ(file.Exif("Exif.Image.Software"), "Vedora 1.02");
    EXPECT_EQ(file.Exif("Exif.Photo.PixelXDimension"), std::to_string(pixels.width()));
    EXPECT_EQ(file.Exif("Exif.Photo.PixelYDimension"), std::to_string(pixels.height()));
    EXPECT_FALSE(file.AnyInGroup("Thumbnail"));
    // The profile reaches a reader that knows nothing of how it was written.
    EXPECT_EQ(pixels.colorSpace(), QColorSpace(QColorSpace::AdobeRgb));
}

struct SphereTags {
    long fullWidth, fullHeight, width, height, left, top;
    std::string heading;
};

SphereTags SphereOf(const std::string& path) {
    const FileMetadata file(path);
    EXPECT_EQ(file.Xmp("Xmp.GPano.ProjectionType"), "equirectangular") << path;
    EXPECT_EQ(file.Xmp("Xmp.GPano.UsePanoramaViewer"), "True") << path;
    return {file.XmpNumber("Xmp.GPano.FullPanoWidthPixels"),
            file.XmpNumber("Xmp.GPano.FullPanoHeightPixels"),
            file.XmpNumber("Xmp.GPano.CroppedAreaImageWidthPixels"),
            file.XmpNumber("Xmp.GPano.CroppedAreaImageHeightPixels"),
            file.XmpNumber("Xmp.GPano.CroppedAreaLeftPixels"),
            file.XmpNumber("Xmp.GPano.CroppedAreaTopPixels"),
            file.Xmp("Xmp.GPano.PoseHeadingDegrees")};
}

}  // namespace

TEST(PanoramaMetadata, TheReferencePhotographsExifAndProfileAndASphereOnTheSphere) {
    PrepareExiv2();
    RenderedViews set({View(0, 0, 0, 500, 320, 240), View(25, 0, 0, 500, 320, 240)});
    const std::string dir = set.Folder();
    TagLikeACamera(set.Path(0));

    RunResult sphere = Stitch(set, {"--projection", "spherical", "-o", dir + "/s.jpg", "--uncropped", dir + "/s.tif",
                                    "--cameras", dir + "/s.json"});
    ASSERT_EQ(sphere.status, 0) << sphere.err;
    RunResult png = Stitch(set, {"--projection", "spherical", "-o", dir + "/s.png"});
    ASSERT_EQ(png.status, 0) << png.err;
    for (const char* name : {"/s.jpg", "/s.tif", "/s.png"})
        ExpectPanoramaExif(dir + name);

    // The sphere's size from the panorama's own scale, the image's place on it from where the
    // reference photograph looks and where the horizon lies, both read from the cameras file.
    const render::CamerasFile cameras = render::ReadCamerasFile(dir + "/s.json");
    const render::Mat3& T = cameras.transform;
    const double perRadian = std::hypot(T[0], T[3]);
    const render::Vec3 look = render::Apply(cameras.images[0].rotation, {0, 0, 1});
    const double lambda = std::atan2(look.x, look.z), phi = std::asin(look.y);
    const double referenceColumn = T[0] * lambda + T[1] * phi + T[2];
    const double horizonRow = T[3] * lambda + T[5];
    ASSERT_TRUE(cameras.crop);
    const SphereTags cropped = SphereOf(dir + "/s.jpg");
    EXPECT_NEAR(cropped.fullWidth, 2 * M_PI * perRadian, 0.5);
    EXPECT_NEAR(cropped.fullHeight, M_PI * perRadian, 0.5);
    EXPECT_EQ(cropped.width, QImage(QString::fromStdString(dir + "/s.jpg")).width());
    EXPECT_EQ(cropped.height, QImage(QString::fromStdString(dir + "/s.jpg")).height());
    EXPECT_NEAR(cropped.left, M_PI * perRadian + cameras.crop->left - referenceColumn, 1.0);
    EXPECT_NEAR(cropped.top, M_PI / 2 * perRadian - (horizonRow - cameras.crop->top), 1.0);
    EXPECT_EQ(std::stod(cropped.heading), 120.0);
    // The whole panorama lies further left and higher by the crop's own offset.
    const SphereTags whole = SphereOf(dir + "/s.tif");
    EXPECT_EQ(whole.fullWidth, cropped.fullWidth);
    EXPECT_EQ(whole.width, cameras.panoramaWidth);
    EXPECT_NEAR(cropped.left - whole.left, cameras.crop->left, 1.0);
    EXPECT_NEAR(cropped.top - whole.top, cameras.crop->top, 1.0);
    EXPECT_EQ(SphereOf(dir + "/s.png").left, cropped.left);

    // A cylinder is no sphere: its file carries the EXIF, and no photo-sphere XMP.
    RunResult cylinder = Stitch(set, {"--projection", "cylindrical", "-o", dir + "/c.jpg"});
    ASSERT_EQ(cylinder.status, 0) << cylinder.err;
    ExpectPanoramaExif(dir + "/c.jpg");
    EXPECT_EQ(FileMetadata(dir + "/c.jpg").Xmp("Xmp.GPano.ProjectionType"), "");
}

// A reference photograph whose EXIF is damaged (an entry pointing far outside its block) is
// matched and stitched all the same; the log says that its metadata goes unused, and the
// panorama's file carries only what holds of the panorama itself.
TEST(PanoramaMetadata, ADamagedExifBlockIsStitchedWithoutItAndSaidSo) {
    PrepareExiv2();
    RenderedViews set({View(0, 0, 0, 500, 320, 240), View(25, 0, 0, 500, 320, 240)});
    const std::string dir = set.Folder();
    WriteExifTags(set.Path(0), {{"Exif.Image.Make", "TestCam"}});
    std::string bytes = ReadAll(set.Path(0));
    const size_t exif = bytes.find(std::string("Exif\0\0", 6));
    ASSERT_NE(exif, std::string::npos);
    const size_t tiff = exif + 6;
    const bool little = bytes[tiff] == 'I';
    auto read32 = [&](size_t at) {
        const auto* b = reinterpret_cast<const unsigned char*>(bytes.data() + at);
        return little ? b[0] | b[1] << 8 | b[2] << 16 | uint32_t(b[3]) << 24
                      : uint32_t(b[0]) << 24 | b[1] << 16 | b[2] << 8 | b[3];
    };
    // The first entry of the first directory claims two gigabytes of values.
    const size_t entry = tiff + read32(tiff + 4) + 2;
    bytes.replace(entry + 4, 4, little ? std::string("\xff\xff\xff\x7f", 4) : std::string("\x7f\xff\xff\xff", 4));
    Zelvo::Chars(bytes.c_str(), bytes.size()).WriteFile(set.Path(0).c_str());

    RunResult run = RunProgram(VEDORA_STITCH, {"--seed", "3", "-o", dir + "/p.jpg", set.Path(0), set.Path(1)}, dir);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("Photograph " + set.Path(0) + ": its metadata is damaged"), std::string::npos) << run.err;
    const FileMetadata file(dir + "/p.jpg");
    EXPECT_EQ(file.Exif("Exif.Image.Make"), "");
    EXPECT_EQ(file.Exif("Exif.Image.Software"), "Vedora 1.02");
    EXPECT_GT(QImage(QString::fromStdString(dir + "/p.jpg")).width(), 450);
}
