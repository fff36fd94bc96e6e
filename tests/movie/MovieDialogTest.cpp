// The movie dialog, its parameters dialog and the viewer, driven through real widgets with
// scripted prompts.
#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>

#include "MovieTestSupport.h"
#include "movie/CylinderView.h"
#include "movie/MovieDialog.h"
#include "movie/MovieParametersDialog.h"
#include "movie/MovieWidget.h"
#include "movie/VrMovieWriter.h"
#include "support/ScriptedPrompts.h"

namespace {

template <class T>
T* Child(QWidget& parent, const char* name) {
    T* child = parent.findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
}

QString MakeMovie(const QString& folder, const QString& name, const ImgRGB& panorama, int tiles = 4) {
    VrMovieSettings settings;
    settings.tiles = tiles;
    std::string why;
    QString path = folder + "/" + name;
    EXPECT_TRUE(WriteVrMovie(panorama, settings, path.toStdString(), &why)) << why;
    return path;
}

ImgRGB ImgOf(const QImage& image) {
    QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    ImgRGB out(rgb.width(), rgb.height());
    for (int y = 0; y < rgb.height(); ++y)
        for (int x = 0; x < rgb.width(); ++x) {
            const uchar* p = rgb.constScanLine(y) + 3 * x;
            out.At(x, y) = Rgb{p[2], p[1], p[0]};
        }
    return out;
}

// The view of the original panorama (not the movie) at the widget's angles: the viewer must show
// the cylinder as it was before compression and tiling.
ImgRGB DirectView(const ImgRGB& panorama, const ViewAngles& view, int w, int h) {
    ImgRGB out(w, h);
    RenderCylinderView(
        panorama,
        CylinderOf(panorama.width, panorama.height, AnglesForPanorama(panorama.width, panorama.height, 360, w, h)),
        view, out);
    return out;
}

void Wheel(QWidget* widget, int notches) {
    QPointF at(widget->width() / 2.0, widget->height() / 2.0);
    QWheelEvent event(at, widget->mapToGlobal(at), QPoint(), QPoint(0, 120 * notches), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &event);
}

}  // namespace

TEST(MovieParametersDialog, EditorsRangesTextsAndSetDefaults) {
    VrMovieSettings settings;
    settings.tiles = 12;
    settings.quality = VrQuality::Low;
    settings.angle = 180;
    settings.windowWidth = 800;
    settings.windowHeight = 300;
    MovieParametersDialog dialog(&settings);
    EXPECT_EQ(dialog.windowTitle(), "Parameters for a cylindrical Quicktime VR movie");
    dialog.show();
    dialog.grab().save(QString(VEDORA_SHOT_DIR) + "/movie-parameters.png");
    auto* tiles = Child<QSpinBox>(dialog, "m_nofTilesSpinBox");
    auto* angle = Child<QSpinBox>(dialog, "m_angleSpinBox");
    auto* width = Child<QSpinBox>(dialog, "m_widthSpinBox");
    auto* height = Child<QSpinBox>(dialog, "m_heightSpinBox");
    struct Range {
        QSpinBox* box;
        int min, max, step, shown;
    };
    for (Range r : {Range{tiles, 4, 64, 1, 12}, Range{angle, 1, 360, 10, 180}, Range{width, 128, 2048, 10, 800},
                    Range{height, 100, 2048, 10, 300}}) {
        EXPECT_EQ(r.box->minimum(), r.min) << r.box->objectName().toStdString();
        EXPECT_EQ(r.box->maximum(), r.max);
        EXPECT_EQ(r.box->singleStep(), r.step);
        EXPECT_EQ(r.box->value(), r.shown);
    }
    auto* low = Child<QRadioButton>(dialog, "m_lowQualityRadioButton");
    EXPECT_TRUE(low->isChecked());
    EXPECT_EQ(Child<QRadioButton>(dialog, "m_losslessQualityRadioButton")->text(), "Lossless");
    EXPECT_EQ(Child<QRadioButton>(dialog, "m_highQualityRadioButton")->text(), "High");
    EXPECT_EQ(Child<QRadioButton>(dialog, "m_normalQualityRadioButton")->text(), "Normal");
    EXPECT_EQ(low->text(), "Low");
    EXPECT_EQ(Child<QLabel>(dialog, "m_nofTilesLabel")->text(), "Number of tiles:");
    EXPECT_EQ(Child<QLabel>(dialog, "m_angleUnitLabel")->text(), "[Degrees]");
    EXPECT_EQ(Child<QLabel>(dialog, "m_widthUnitLabel")->text(), "[Pixel]");
    EXPECT_EQ(Child<QGroupBox>(dialog, "m_extentGroupBox")->title(), "Panorama extent on the cylinder");
    EXPECT_EQ(Child<QGroupBox>(dialog, "m_tilesGroupBox")->title(), "Tiles");
    EXPECT_EQ(Child<QGroupBox>(dialog, "m_windowGroupBox")->title(), "Movie window size");
    EXPECT_TRUE(Child<QLabel>(dialog, "m_angleTextLabel")->text().startsWith("The value for the angle from the start"));
    EXPECT_TRUE(Child<QLabel>(dialog, "m_angleTextLabel")->text().contains("seamless 360 degrees"));
    EXPECT_EQ(Child<QLabel>(dialog, "m_tilesTextLabel")->text(),
              "The image is diced into tiles to reduce memory requirements and to be able to show the movie "
              "while it is downloaded.");
    EXPECT_EQ(Child<QLabel>(dialog, "m_qualityTextLabel")->text(),
              "The compression quality determines the size of the movie file and the quality on the screen.");
    EXPECT_EQ(Child<QLabel>(dialog, "m_windowTextLabel")->text(), "Size of the Quicktime player window.");

    // Every change is written at once.
    tiles->setValue(9);
    angle->setValue(90);
    width->setValue(1000);
    height->setValue(700);
    QTest::mouseClick(Child<QRadioButton>(dialog, "m_normalQualityRadioButton"), Qt::LeftButton);
    EXPECT_EQ(settings.tiles, 9);
    EXPECT_EQ(settings.angle, 90);
    EXPECT_EQ(settings.windowWidth, 1000);
    EXPECT_EQ(settings.windowHeight, 700);
    EXPECT_EQ(settings.quality, VrQuality::Normal);

    auto* defaults = Child<QPushButton>(dialog, "m_setDefaultsPushButton");
    EXPECT_EQ(defaults->text(), "Set defaults");
    QTest::mouseClick(defaults, Qt::LeftButton);
    EXPECT_EQ(settings, VrMovieSettings{});
    EXPECT_EQ(settings.tiles, 4);
    EXPECT_EQ(settings.quality, VrQuality::High);
    EXPECT_EQ(settings.angle, 360);
    EXPECT_EQ(settings.windowWidth, 640);
    EXPECT_EQ(settings.windowHeight, 480);
    EXPECT_EQ(tiles->value(), 4);
    EXPECT_TRUE(Child<QRadioButton>(dialog, "m_highQualityRadioButton")->isChecked());
    EXPECT_EQ(width->value(), 640);
}

TEST(MovieDialog, ShowsAMovieOfARenderedPanoramaAsTheCylinderSeenFromInside) {
    QTemporaryDir dir;
    ImgRGB panorama = RenderCylindricalPanorama(3000, 560);
    QString movie = MakeMovie(dir.path(), "world.mov", panorama);
    VrMovieSettings settings;
    ScriptedPrompts prompts;
    MovieDialog dialog(settings, prompts, dir.path());
    EXPECT_EQ(dialog.windowTitle(), "Create a cylindrical Quicktime VR movie");
    EXPECT_EQ(Child<QPushButton>(dialog, "m_loadMoviePushButton")->text(), "Load movie...");
    EXPECT_EQ(Child<QPushButton>(dialog, "m_createMoviePushButton")->text(),
              "Create movie from saved panorama image file...");
    EXPECT_EQ(Child<QToolButton>(dialog, "m_parametersToolButton")->text(), "Movie creation settings...");
    EXPECT_TRUE(Child<QLabel>(dialog, "m_hintLabel")->text().startsWith("Remember that the cylindrical projection"));
    dialog.show();

    prompts.AnswerOpenFile(movie);
    QTest::mouseClick(Child<QPushButton>(dialog, "m_loadMoviePushButton"), Qt::LeftButton);
    EXPECT_EQ(prompts.History().back().title, "Open movie");
    MovieWidget* viewer = dialog.Viewer();
    ASSERT_TRUE(viewer->HasMovie());
    EXPECT_EQ(viewer->size(), QSize(640, 480));

    // The first frame looks at the middle of the panorama with the whole height in view.
    ImgRGB first = ImgOf(viewer->grab().toImage());
    ASSERT_EQ(first.width, 640);
    const ViewAngles start = viewer->View();
    EXPECT_DOUBLE_EQ(start.pan, 180);
    EXPECT_DOUBLE_EQ(start.tilt, 0);
    EXPECT_GE(PsnrOf(first, DirectView(panorama, start, 640, 480)), 30.0);
    dialog.grab().save(QString(VEDORA_SHOT_DIR) + "/movie-dialog.png");

    // Dragging across the whole view turns it by its horizontal field of view.
    const double across = HorizontalFov(start.fov, 640, 480);
    QTest::mousePress(viewer, Qt::LeftButton, {}, QPoint(0, 240));
    for (int x = 64; x <= 640; x += 64)
        QTest::mouseMove(viewer, QPoint(x, 240));
    QTest::mouseRelease(viewer, Qt::LeftButton, {}, QPoint(640, 240));
    EXPECT_NEAR(viewer->View().pan, std::fmod(start.pan + across, 360.0), 1e-6);
    ImgRGB turned = ImgOf(viewer->grab().toImage());
    EXPECT_GE(PsnrOf(turned, DirectView(panorama, viewer->View(), 640, 480)), 30.0);
    // What was at the left edge is now in the middle.
    EXPECT_LT(PsnrOf(turned, first), 20.0);
    viewer->grab().save(QString(VEDORA_SHOT_DIR) + "/movie-turned.png");

    // The wheel zooms within the movie's limits; a 360-degree movie turns round and round.
    Wheel(viewer, 40);
    EXPECT_DOUBLE_EQ(viewer->View().fov, viewer->Movie()->angles.minFov);
    viewer->grab().save(QString(VEDORA_SHOT_DIR) + "/movie-zoomed.png");
    Wheel(viewer, -40);
    EXPECT_DOUBLE_EQ(viewer->View().fov, viewer->Movie()->angles.maxFov);
    for (int turn = 0; turn < 5; ++turn) {
        QTest::mousePress(viewer, Qt::LeftButton, {}, QPoint(0, 240));
        QTest::mouseMove(viewer, QPoint(639, 240));
        QTest::mouseRelease(viewer, Qt::LeftButton, {}, QPoint(639, 240));
    }
    EXPECT_GE(viewer->View().pan, 0);
    EXPECT_LT(viewer->View().pan, 360);
    EXPECT_EQ(prompts.Pending(), 0u);
}

TEST(MovieDialog, ABadMovieIsRefusedAndThePreviousOneStays) {
    QTemporaryDir dir;
    QString good = MakeMovie(dir.path(), "good.mov", SyntheticPanorama(800, 120));
    std::vector<uint8_t> bytes = ReadFileBytes(good);
    bytes.resize(bytes.size() - 300);
    WriteFileBytes(dir.path() + "/cut.mov", bytes);
    WriteFileBytes(dir.path() + "/empty.mov", {});
    VrMovieSettings settings;
    ScriptedPrompts prompts;
    MovieDialog dialog(settings, prompts, dir.path());
    prompts.AnswerOpenFile(good);
    dialog.OnLoadMovie();
    ASSERT_TRUE(dialog.Viewer()->HasMovie());
    ImgRGB before = ImgOf(dialog.Viewer()->Frame());
    for (const char* name : {"cut.mov", "empty.mov"}) {
        prompts.AnswerOpenFile(dir.path() + "/" + name);
        prompts.ExpectWarn();
        dialog.OnLoadMovie();
        EXPECT_TRUE(prompts.Last().text.contains(name)) << prompts.Last().text.toStdString();
        EXPECT_EQ(dialog.Viewer()->MoviePath(), good);
        EXPECT_TRUE(std::isinf(PsnrOf(ImgOf(dialog.Viewer()->Frame()), before)));
    }
    EXPECT_EQ(prompts.Pending(), 0u);
}

TEST(MovieDialog, CreatesAMovieFromAnImageAndCancellingKeepsThePreviousMovie) {
    QTemporaryDir dir, temp;
    QString previous = MakeMovie(dir.path(), "previous.mov", SyntheticPanorama(800, 120));
    QString image = dir.path() + "/hall.jpg";
    QImage picture(600, 100, QImage::Format_RGB32);
    picture.fill(QColor(30, 120, 200));
    ASSERT_TRUE(picture.save(image));
    VrMovieSettings settings;
    ScriptedPrompts prompts;
    MovieDialog dialog(settings, prompts, dir.path());
    dialog.SetTemporaryFolder(temp.path());
    prompts.AnswerOpenFile(previous);
    dialog.OnLoadMovie();

    // The parameters button edits the window's settings.
    prompts.AnswerDialog(QDialog::Accepted, [](QDialog& d) {
        ASSERT_NE(dynamic_cast<MovieParametersDialog*>(&d), nullptr);
        d.findChild<QSpinBox*>("m_nofTilesSpinBox")->setValue(5);
    });
    QTest::mouseClick(Child<QToolButton>(dialog, "m_parametersToolButton"), Qt::LeftButton);
    EXPECT_EQ(settings.tiles, 5);

    prompts.AnswerOpenFile(image);
    prompts.AnswerSaveFile(QString());
    QTest::mouseClick(Child<QPushButton>(dialog, "m_createMoviePushButton"), Qt::LeftButton);
    EXPECT_EQ(prompts.History()[prompts.History().size() - 2].title, "Open image");
    EXPECT_EQ(prompts.Last().title, "Save movie");
    EXPECT_EQ(prompts.Last().text, dir.path() + "/hall.mov");
    EXPECT_EQ(dialog.Viewer()->MoviePath(), previous);
    EXPECT_FALSE(QFile::exists(dir.path() + "/hall.mov"));
    EXPECT_TRUE(FilesIn(temp.path()).isEmpty());

    prompts.AnswerOpenFile(image);
    prompts.AnswerSaveFile(dir.path() + "/hall");
    dialog.OnCreateMovie();
    EXPECT_EQ(dialog.Viewer()->MoviePath(), dir.path() + "/hall.mov");
    EXPECT_EQ(dialog.Viewer()->Movie()->tiles, 5);
    EXPECT_TRUE(FilesIn(temp.path()).isEmpty());
    EXPECT_EQ(prompts.Pending(), 0u);
}

// A movie whose player window is larger than the screen: the viewer is scaled down, keeping the
// window's shape, so that the dialog and its Close button stay on the screen.
TEST(MovieDialog, AMovieLargerThanTheScreenIsShownScaledToFit) {
    QTemporaryDir dir;
    VrMovieSettings large;
    large.windowWidth = 2048;
    large.windowHeight = 2048;
    const QString path = dir.path() + "/large.mov";
    std::string why;
    ASSERT_TRUE(WriteVrMovie(SyntheticPanorama(3200, 480), large, path.toStdString(), &why)) << why;
    VrMovieSettings settings;
    ScriptedPrompts prompts;
    MovieDialog dialog(settings, prompts, dir.path());
    dialog.show();
    prompts.AnswerOpenFile(path);
    QTest::mouseClick(Child<QPushButton>(dialog, "m_loadMoviePushButton"), Qt::LeftButton);
    MovieWidget* viewer = dialog.Viewer();
    ASSERT_TRUE(viewer->HasMovie());
    const QRect area = dialog.screen()->availableGeometry();
    EXPECT_LE(viewer->width(), area.width());
    EXPECT_LE(dialog.sizeHint().height(), area.height());
    EXPECT_LE(dialog.sizeHint().width(), area.width());
    EXPECT_EQ(viewer->width(), viewer->height());  // the window's shape
    EXPECT_LT(viewer->width(), 2048);
    ImgRGB frame = ImgOf(viewer->grab().toImage());
    EXPECT_EQ(frame.width, viewer->width());
    dialog.grab().save(QString(VEDORA_SHOT_DIR) + "/movie-large.png");
}
