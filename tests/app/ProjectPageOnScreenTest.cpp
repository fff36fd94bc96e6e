// The real window on a display with its GL view, driven by clicks on its buttons: photographs
// added, turned, saved, and the project opened again from the command line by a new window.
// Screenshots of the page land in the build folder for a look by eye.
#include <gtest/gtest.h>

#include <QDir>
#include <QRadioButton>
#include <QToolButton>

#include "OnScreenSupport.h"
#include "ProjectTestSupport.h"
#include "view/GuiMgr.h"
#include "view/OpenGLSupport.h"
#include "view/ZelvoGLWidget.h"
#include "view/ZelvoWidget.h"

namespace {

// What the view shows of the pictures: their rectangles in list order.
std::vector<RectD> PictureRects(MainWindow& w) {
    std::vector<RectD> rects;
    for (GuiBitmap* picture : MainWindowFixture::SourcePictures(w))
        rects.push_back(picture->BoundingRect(0));
    return rects;
}

}  // namespace

TEST(ProjectPageOnScreen, AddTurnSaveAndReopenFromTheCommandLine) {
    if (!OpenGLAvailable())
        GTEST_SKIP() << "no OpenGL view on this platform (run under xvfb-run)";
    std::vector<render::ViewSpec> specs;
    for (int k = 0; k < 5; ++k)
        specs.push_back(View(-40 + 20 * k, k % 2 ? 16 : 12, 0, 700, 640, 480));
    RenderedViews photos(specs);
    QStringList files;
    for (size_t k = 0; k < specs.size(); ++k)
        files << QString::fromStdString(photos.Path(k));

    QTemporaryDir dir;
    const QString project = dir.filePath("trip.vdp");
    QStringList rows;
    std::vector<RectD> rects;
    {
        TestWindow w = OpenWindow(dir.filePath("vedora"));
        w->resize(1180, 760);
        w->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w.window.get()));
        ZelvoWidget* view = MainWindowFixture::View(*w).m_zelvoWidget;
        ASSERT_TRUE(view->HasOpenGL());
        auto& page = MainWindowFixture::ProjectPage(*w);

        w.prompts->AnswerOpenFiles(files);
        QTest::mouseClick(page.m_loadImagesButton, Qt::LeftButton);
        rows = ImageRows(*w);
        ASSERT_EQ(rows.size(), 5);
        QTest::mouseClick(MainWindowFixture::View(*w).m_arrangeToolButton, Qt::LeftButton);
        Screenshot(*w, "project-page");
        // Every picture has its texture in the view's context.
        for (GuiBitmap* picture : MainWindowFixture::SourcePictures(*w))
            EXPECT_NE(picture->TextureName(), 0u);

        // Matched photographs arranged by their overlaps.
        ASSERT_TRUE(MainWindowFixture::Engine(*w).FindOverlappingImages());
        QTest::mouseClick(MainWindowFixture::View(*w).m_alignToolButton, Qt::LeftButton);
        Screenshot(*w, "view-arranged");

        QTest::mouseClick(page.m_rotateImages90RadioButton, Qt::LeftButton);
        ASSERT_EQ(MainWindowFixture::Engine(*w).GetSourceImageRotation(), 1);
        for (GuiBitmap* picture : MainWindowFixture::SourcePictures(*w)) {
            EXPECT_EQ(picture->Width(), 480);
            EXPECT_EQ(picture->Height(), 640);
        }
        QTest::mouseClick(MainWindowFixture::View(*w).m_arrangeToolButton, Qt::LeftButton);
        rects = PictureRects(*w);

        w.prompts->AnswerSaveFile(project);
        page.m_actionSaveProjectAs->trigger();
        ASSERT_FALSE(MainWindowFixture::Engine(*w).IsDirty());
        EXPECT_TRUE(w->close());  // saved: no question
        EXPECT_EQ(w.prompts->Pending(), 0u);
    }

    TestWindow w = OpenWindow(dir.filePath("vedora"), project.toUtf8().constData());
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.window.get()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return ImageRows(*w).size() == 5; }, 5000));
    EXPECT_EQ(ImageRows(*w), rows);
    EXPECT_EQ(MainWindowFixture::Engine(*w).GetSourceImageRotation(), 1);
    EXPECT_TRUE(MainWindowFixture::ProjectPage(*w).m_rotateImages90RadioButton->isChecked());
    EXPECT_TRUE(MainWindowFixture::Engine(*w).Combination(0, 1)->matched);
    const std::vector<RectD> again = PictureRects(*w);
    ASSERT_EQ(again.size(), rects.size());
    for (size_t k = 0; k < rects.size(); ++k) {
        EXPECT_DOUBLE_EQ(again[k].left, rects[k].left);
        EXPECT_DOUBLE_EQ(again[k].top, rects[k].top);
        EXPECT_DOUBLE_EQ(again[k].width, 480);
        EXPECT_DOUBLE_EQ(again[k].height, 640);
    }
    EXPECT_EQ(MainWindowFixture::ProjectLabel(*w)->text(), " Project: trip ");
    Screenshot(*w, "reopened");
    EXPECT_EQ(w.prompts->Pending(), 0u);
}
