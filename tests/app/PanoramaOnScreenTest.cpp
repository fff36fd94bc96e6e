// The whole road in the real window on a display: the bundled sample photographs added, matched,
// previewed and stitched, the crop frame moved with the mouse, cropped and saved. Screenshots of
// the preview and of the final stitch with its crop frame land in the build folder.
#include <gtest/gtest.h>

#include <QDir>
#include <QToolButton>

#include "OnScreenSupport.h"
#include "PanoramaTestSupport.h"
#include "view/OpenGLSupport.h"
#include "view/ZelvoGLWidget.h"
#include "view/ZelvoWidget.h"

namespace {

QStringList SamplePhotographs() {
    QStringList files;
    for (int k = 1; k <= 5; ++k)
        files << QString(VEDORA_SAMPLES "/sample%1.jpg").arg(k, 2, 10, QChar('0'));
    return files;
}

}  // namespace

TEST(PanoramaOnScreen, FromAnEmptyProjectToASavedPanorama) {
    if (!OpenGLAvailable())
        GTEST_SKIP() << "no OpenGL view on this platform (run under xvfb-run)";
    QTemporaryDir dir;
    TestWindow w = OpenWindow(dir.filePath("vedora"));
    w->resize(1180, 760);
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.window.get()));
    ZelvoWidget* view = MainWindowFixture::View(*w).m_zelvoWidget;
    ASSERT_TRUE(view->HasOpenGL());

    w.prompts->AnswerOpenFiles(SamplePhotographs());
    QTest::mouseClick(MainWindowFixture::ProjectPage(*w).m_loadImagesButton, Qt::LeftButton);
    ASSERT_EQ(ImageRows(*w).size(), 5);
    PanoramaEngine& engine = MainWindowFixture::Engine(*w);
    engine.SetGeneticSeed(7);
    ASSERT_TRUE(engine.FindOverlappingImages());

    QTest::mouseClick(MainWindowFixture::Frame(*w).m_panoramaToolButton, Qt::LeftButton);
    Ui::PanoramaForm& page = MainWindowFixture::PanoramaPage(*w);
    QTest::mouseClick(page.m_stitchPreviewPushButton, Qt::LeftButton);
    ASSERT_NE(StitchPicture(*w), nullptr) << LogText(*w).toStdString();
    Screenshot(*w, "panorama-preview", 400);
    EXPECT_NE(StitchPicture(*w)->TextureName(), 0u);

    QTest::mouseClick(page.m_stitchPushButton, Qt::LeftButton);
    GuiBitmap* stitch = StitchPicture(*w);
    ASSERT_TRUE(stitch && CropPicture(*w)) << LogText(*w).toStdString();
    Screenshot(*w, "panorama-stitch", 400);
    EXPECT_NE(stitch->TextureName(), 0u);
    EXPECT_NE(CropPicture(*w)->TextureName(), 0u);
    GuiRect* frame = MainWindowFixture::CropFrame(*w);
    ASSERT_TRUE(Shown(frame));
    EXPECT_FALSE(Shown(MainWindowFixture::Marker360(*w)));  // five photographs do not close a turn

    // The frame shrunk by its bottom-right corner and moved by its top edge, with the mouse.
    QWidget* gl = view->GLWidget();
    MainWindowFixture::ViewManager(*w).UpdateScene();
    auto drag = [&](const PointD& from, const QPoint& by) {
        const PointD s = frame->ToScreen(from);
        const QPoint a(qRound(s.x), qRound(s.y));
        QTest::mousePress(gl, Qt::LeftButton, Qt::NoModifier, a);
        QTest::mouseMove(gl, a + by / 2);
        QTest::mouseMove(gl, a + by);
        QTest::mouseRelease(gl, Qt::LeftButton, Qt::NoModifier, a + by);
    };
    const PointD before = frame->TopLeft();
    const double width = frame->Width(), height = frame->Height();
    drag(before + PointD{width, height}, QPoint(-60, -30));
    EXPECT_LT(frame->Width(), width - 20);
    EXPECT_LT(frame->Height(), height - 10);
    drag(before + PointD{frame->Width() / 3, 0}, QPoint(25, 15));
    EXPECT_GT(frame->TopLeft().x, before.x + 10);
    EXPECT_GT(frame->TopLeft().y, before.y + 5);

    QTest::mouseClick(page.m_cropPushButton, Qt::LeftButton);
    GuiBitmap* crop = CropPicture(*w);
    EXPECT_EQ(crop->Image().width, int(frame->Width()));
    EXPECT_EQ(crop->Image().height, int(frame->Height()));
    Screenshot(*w, "panorama-cropped", 400);

    const QString saved = dir.filePath("sample-panorama.png");
    w.prompts->AnswerSaveFile(saved);
    QTest::mouseClick(page.m_savePanoramaPushButton, Qt::LeftButton);
    ImgRGB decoded;
    ASSERT_TRUE(LoadImageFile(decoded, 0, saved));
    EXPECT_TRUE(SamePixels(decoded, crop->Image()));
    EXPECT_TRUE(LogText(*w).endsWith(" ... done\n"));
    EXPECT_EQ(w.prompts->Pending(), 0u);
}

// A ring that closes a full turn: the frame is wider than one turn and the red marker shows
// the strip that the 360-degree crop blends into the left edge.
TEST(PanoramaOnScreen, TheRingShowsTheMarkerBeyondOneTurn) {
    if (!OpenGLAvailable())
        GTEST_SKIP() << "no OpenGL view on this platform (run under xvfb-run)";
    QTemporaryDir dir;
    TestWindow w = OpenWindow(dir.filePath("vedora"));
    w->resize(1180, 760);
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.window.get()));
    AddAndMatchRing(w);
    QTest::mouseClick(MainWindowFixture::Frame(*w).m_panoramaToolButton, Qt::LeftButton);
    QTest::mouseClick(MainWindowFixture::PanoramaPage(*w).m_stitchPushButton, Qt::LeftButton);
    ASSERT_TRUE(Shown(MainWindowFixture::Marker360(*w))) << LogText(*w).toStdString();
    Screenshot(*w, "panorama-ring", 400);
    EXPECT_EQ(w.prompts->Pending(), 0u);
}
