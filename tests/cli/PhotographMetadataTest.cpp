// What the photographs' files record, as the command line meets it: a photograph stored sideways
// with an EXIF Orientation is stitched upright, and the focal length the camera recorded starts
// the fit where the matched photographs agree with it and is overruled where they do not.
#include <gtest/gtest.h>

#include <QImage>
#include <QTransform>

#include <string>

#include "render/CamerasFile.h"
#include "support/ExifTags.h"
#include "support/RenderedViews.h"
#include "support/RunProgram.h"

namespace {

RenderedViews Pair() { return RenderedViews({View(0, 0, 0, 500, 320, 240), View(25, 0, 0, 500, 320, 240)}); }

// The photograph's pixels stored turned a quarter counter-clockwise, tagged to be turned back.
void StoreSideways(const std::string& path) {
    QImage image(QString::fromStdString(path));
    ASSERT_FALSE(image.isNull());
    ASSERT_TRUE(image.transformed(QTransform().rotate(-90)).save(QString::fromStdString(path), "JPEG", 95));
    WriteExifTags(path, {{"Exif.Image.Orientation", "6"}});
}

struct Stitched {
    RunResult run;
    render::CamerasFile cameras;
};

Stitched Stitch(const RenderedViews& set, const std::string& name) {
    const std::string dir = set.Folder();
    Stitched out;
    out.run = RunProgram(VEDORA_STITCH,
                         {"--seed", "3", "-o", dir + "/" + name + ".jpg", "--cameras", dir + "/" + name + ".json",
                          set.Path(0), set.Path(1)},
                         dir);
    if (out.run.status == 0)
        out.cameras = render::ReadCamerasFile(dir + "/" + name + ".json");
    return out;
}

}  // namespace

TEST(PhotographMetadata, ASidewaysPhotographIsStitchedUprightAndTheRecordedFocalLengthIsChecked) {
    RenderedViews set = Pair();
    const Stitched plain = Stitch(set, "plain");
    ASSERT_EQ(plain.run.status, 0) << plain.run.err;
    EXPECT_NEAR(plain.cameras.focalLength, 500, 5);

    // Stored sideways: the same pair, the same focal length, a panorama of the same size.
    StoreSideways(set.Path(1));
    const Stitched sideways = Stitch(set, "sideways");
    ASSERT_EQ(sideways.run.status, 0) << sideways.run.err;
    EXPECT_NEAR(sideways.cameras.focalLength, 500, 5);
    ASSERT_EQ(sideways.cameras.images.size(), 2u);
    EXPECT_EQ(sideways.cameras.images[1].width, 320);
    EXPECT_EQ(sideways.cameras.images[1].height, 240);
    EXPECT_NEAR(sideways.cameras.panoramaWidth, plain.cameras.panoramaWidth, 4);
    EXPECT_NEAR(sideways.cameras.panoramaHeight, plain.cameras.panoramaHeight, 4);

    // A 54 mm equivalent on this 320 x 240 frame is 499 pixels: the fit starts from it.
    for (size_t i = 0; i < 2; ++i)
        WriteExifTags(set.Path(i), {{"Exif.Photo.FocalLengthIn35mmFilm", "54"}});
    const Stitched agreeing = Stitch(set, "agreeing");
    ASSERT_EQ(agreeing.run.status, 0) << agreeing.run.err;
    EXPECT_NE(agreeing.run.err.find("The fit starts from the focal length the camera recorded, 499 pixels."),
              std::string::npos)
        << agreeing.run.err;
    EXPECT_NEAR(agreeing.cameras.focalLength, 500, 5);

    // A wrong record (20 mm: 185 pixels) is overruled by the photographs and said once.
    for (size_t i = 0; i < 2; ++i)
        WriteExifTags(set.Path(i), {{"Exif.Photo.FocalLengthIn35mmFilm", "20"}});
    const Stitched wrong = Stitch(set, "wrong");
    ASSERT_EQ(wrong.run.status, 0) << wrong.run.err;
    const std::string said = "The camera recorded a focal length of 185 pixels, the matched photographs give";
    const size_t first = wrong.run.err.find(said);
    EXPECT_NE(first, std::string::npos) << wrong.run.err;
    EXPECT_EQ(wrong.run.err.find(said, first + 1), std::string::npos) << wrong.run.err;
    EXPECT_NEAR(wrong.cameras.focalLength, 500, 5);
}
