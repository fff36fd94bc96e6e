#include <gtest/gtest.h>

#include "movie/CylinderGeometry.h"
#include "movie/PanoramaScaling.h"
#include "movie/VrMovieSettings.h"

TEST(VrMovieSettings, DefaultsRangesAndQualityCodes) {
    VrMovieSettings s;
    EXPECT_EQ(s.tiles, 4);
    EXPECT_EQ(s.quality, VrQuality::High);
    EXPECT_EQ(s.angle, 360);
    EXPECT_EQ(s.windowWidth, 640);
    EXPECT_EQ(s.windowHeight, 480);
    EXPECT_EQ(CodecQualityOf(VrQuality::Lossless), 0x400);
    EXPECT_EQ(CodecQualityOf(VrQuality::High), 0x300);
    EXPECT_EQ(CodecQualityOf(VrQuality::Normal), 0x200);
    EXPECT_EQ(CodecQualityOf(VrQuality::Low), 0x100);
    EXPECT_GT(JpegQualityOf(VrQuality::High), JpegQualityOf(VrQuality::Normal));
    EXPECT_GT(JpegQualityOf(VrQuality::Normal), JpegQualityOf(VrQuality::Low));
    std::string why;
    EXPECT_TRUE(ValidateVrMovieSettings(s, &why));
    s.angle = 0;
    EXPECT_FALSE(ValidateVrMovieSettings(s, &why));
    EXPECT_NE(why.find("0 degrees"), std::string::npos);
    s = VrMovieSettings{};
    s.tiles = 65;
    EXPECT_FALSE(ValidateVrMovieSettings(s, &why));
}

TEST(VrMovieSettings, OptionParsingAcceptsTheDocumentedValuesOnly) {
    std::string why;
    VrQuality q = VrQuality::High;
    EXPECT_TRUE(ParseVrQuality("lossless", &q, &why));
    EXPECT_EQ(q, VrQuality::Lossless);
    EXPECT_TRUE(ParseVrQuality("low", &q, &why));
    EXPECT_EQ(q, VrQuality::Low);
    EXPECT_FALSE(ParseVrQuality("best", &q, &why));
    EXPECT_EQ(q, VrQuality::Low);
    EXPECT_NE(why.find("lossless, high, normal or low"), std::string::npos);

    int tiles = 0, angle = 0, w = 0, h = 0;
    EXPECT_TRUE(ParseVrTiles("64", &tiles, &why));
    EXPECT_EQ(tiles, 64);
    for (const char* bad : {"3", "65", "8x", "", "-4"})
        EXPECT_FALSE(ParseVrTiles(bad, &tiles, &why)) << bad;
    EXPECT_TRUE(ParseVrAngle("180", &angle, &why));
    EXPECT_EQ(angle, 180);
    EXPECT_FALSE(ParseVrAngle("0", &angle, &why));
    EXPECT_FALSE(ParseVrAngle("361", &angle, &why));
    EXPECT_TRUE(ParseVrWindow("800x600", &w, &h, &why));
    EXPECT_EQ(w, 800);
    EXPECT_EQ(h, 600);
    EXPECT_TRUE(ParseVrWindow("128X100", &w, &h, &why));
    for (const char* bad : {"800", "800x", "x600", "127x100", "800x99", "2049x600", "800*600"})
        EXPECT_FALSE(ParseVrWindow(bad, &w, &h, &why)) << bad;
}

TEST(VrMovieSettings, WidthIsTheLargestMultipleOfTheTiles) {
    EXPECT_EQ(TiledWidth(5000, 4), 5000);
    EXPECT_EQ(TiledWidth(5000, 6), 4998);
    EXPECT_EQ(TiledWidth(64, 64), 64);
    EXPECT_EQ(TiledWidth(127, 64), 64);

    QImage image(5000, 60, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    EXPECT_EQ(FitImageToTiles(image, 4).width(), 5000);
    QImage six = FitImageToTiles(image, 6);
    EXPECT_EQ(six.width(), 4998);
    EXPECT_EQ(six.height(), 60);  // 60 * 4998 / 5000 rounds to 60
    QImage tall(5000, 3000, QImage::Format_RGB32);
    tall.fill(Qt::black);
    EXPECT_EQ(FitImageToTiles(tall, 6).height(), 2999);  // 2998.8, in proportion
}

TEST(CylinderGeometry, AnglesFollowFromTheAngleAndTheAspect) {
    // 9000 pixels for 360 degrees: 25 pixels per degree; 1500 rows reach atan(750 / r) up and down.
    VrAngles a = AnglesForPanorama(9000, 1500, 360, 640, 480);
    const double radius = 9000 / (2 * M_PI);
    EXPECT_DOUBLE_EQ(a.minPan, 0);
    EXPECT_DOUBLE_EQ(a.maxPan, 360);
    EXPECT_NEAR(a.maxTilt, std::atan(750 / radius) * 180 / M_PI, 1e-9);
    EXPECT_DOUBLE_EQ(a.minTilt, -a.maxTilt);
    EXPECT_NEAR(a.maxFov, 2 * a.maxTilt, 1e-9);
    EXPECT_LT(a.minFov, a.maxFov);
    EXPECT_DOUBLE_EQ(a.defaultPan, 180);
    EXPECT_DOUBLE_EQ(a.defaultFov, a.maxFov);

    // A narrow panorama: the field of view never shows more than the angle across.
    VrAngles narrow = AnglesForPanorama(1000, 1000, 40, 640, 480);
    EXPECT_NEAR(HorizontalFov(narrow.maxFov, 640, 480), 40, 1e-9);
}

TEST(CylinderGeometry, ViewsStayInsideTheMovie) {
    VrAngles a = AnglesForPanorama(3600, 600, 360, 640, 480);
    ViewAngles v = ClampView({-30, 0, a.maxFov}, a, 640, 480);
    EXPECT_NEAR(v.pan, 330, 1e-9);  // a closed circle wraps
    v = ClampView({725, 0, a.maxFov}, a, 640, 480);
    EXPECT_NEAR(v.pan, 5, 1e-9);
    v = ClampView({10, 0, 1e-3}, a, 640, 480);
    EXPECT_DOUBLE_EQ(v.fov, a.minFov);
    v = ClampView({10, 80, a.minFov}, a, 640, 480);
    EXPECT_NEAR(v.tilt + v.fov / 2, a.maxTilt, 1e-9);

    VrAngles partial = AnglesForPanorama(3000, 600, 150, 640, 480);
    v = ClampView({0, 0, partial.minFov * 2}, partial, 640, 480);
    EXPECT_NEAR(v.pan - HorizontalFov(v.fov, 640, 480) / 2, 0, 1e-9);  // left edge at the image's end
    v = ClampView({150, 0, partial.minFov * 2}, partial, 640, 480);
    EXPECT_NEAR(v.pan + HorizontalFov(v.fov, 640, 480) / 2, 150, 1e-9);
}
