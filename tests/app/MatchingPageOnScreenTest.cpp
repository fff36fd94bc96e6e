// The matching page on a display with its GL view, driven the way a user does: photographs
// loaded, matched, a pair chosen in the hierarchy, a point inserted and moved with the mouse in
// both pictures, the changes applied. A screenshot of the page lands in the build folder.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QMouseEvent>
#include <QToolButton>
#include <QTreeWidget>

#include "OnScreenSupport.h"
#include "ProjectTestSupport.h"
#include "view/GuiChainedPoints.h"
#include "view/GuiMgr.h"
#include "view/OpenGLSupport.h"
#include "view/ZelvoGLWidget.h"
#include "view/ZelvoWidget.h"

namespace {

void SendMouse(QWidget* widget, QEvent::Type type, const QPointF& at, Qt::MouseButtons held) {
    QMouseEvent event(type, at, widget->mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

// Drags point k of the markers to `to` (its image's pixels) with the left button on the view.
void DragWithMouse(QWidget* view, GuiChainedPoints& markers, int k, const PointD& to) {
    const qreal ratio = view->devicePixelRatioF();
    const PointD from = markers.ToScreen(markers.Point(k)), target = markers.ToScreen(to);
    const QPointF a(from.x / ratio, from.y / ratio), b(target.x / ratio, target.y / ratio);
    SendMouse(view, QEvent::MouseButtonPress, a, Qt::LeftButton);
    for (int step = 1; step <= 4; ++step)
        SendMouse(view, QEvent::MouseMove, a + (b - a) * step / 4.0, Qt::LeftButton);
    SendMouse(view, QEvent::MouseButtonRelease, b, Qt::NoButton);
}

std::vector<QTreeWidgetItem*> TreeRows(QTreeWidget* tree) {
    std::vector<QTreeWidgetItem*> rows;
    std::function<void(QTreeWidgetItem*)> visit = [&](QTreeWidgetItem* row) {
        rows.push_back(row);
        for (int k = 0; k < row->childCount(); ++k)
            visit(row->child(k));
    };
    for (int k = 0; k < tree->topLevelItemCount(); ++k)
        visit(tree->topLevelItem(k));
    return rows;
}

}  // namespace

TEST(MatchingPageOnScreen, MatchChoosePairInsertMoveAndApply) {
    if (!OpenGLAvailable())
        GTEST_SKIP() << "no OpenGL view on this platform (run under xvfb-run)";
    std::vector<render::ViewSpec> specs;
    for (int k = 0; k < 5; ++k)
        specs.push_back(View(-40 + 20 * k, k % 2 ? 8 : 4, 0, 700, 640, 480));
    RenderedViews photos(specs);
    QStringList files;
    for (size_t k = 0; k < specs.size(); ++k)
        files << QString::fromStdString(photos.Path(k));

    QTemporaryDir dir;
    TestWindow w = OpenWindow(dir.filePath("vedora"));
    w->resize(1180, 760);
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.window.get()));
    ZelvoWidget* frame = MainWindowFixture::View(*w).m_zelvoWidget;
    ASSERT_TRUE(frame->HasOpenGL());
    QWidget* view = frame->GLWidget();
    auto& page = MainWindowFixture::MatchingPage(*w);
    PanoramaEngine& engine = MainWindowFixture::Engine(*w);

    w.prompts->AnswerOpenFiles(files);
    QTest::mouseClick(MainWindowFixture::ProjectPage(*w).m_loadImagesButton, Qt::LeftButton);
    QTest::mouseClick(MainWindowFixture::Frame(*w).m_matchingToolButton, Qt::LeftButton);
    QTest::mouseClick(page.m_automaticMatchingButton, Qt::LeftButton);
    ASSERT_TRUE(engine.MainTree());
    ASSERT_EQ(engine.MainTree()->DistinctImages().size(), 5u);

    // The pair of the reference's first child, chosen in the tree.
    QTreeWidget* tree = page.m_overlappingHierarchyTreeWidget;
    std::vector<QTreeWidgetItem*> rows = TreeRows(tree);
    ASSERT_GE(rows.size(), 3u);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(rows[2]).center());
    const int first = engine.MainTree()->firstChild->image, second = engine.MainTree()->image;
    ASSERT_EQ(MainWindowFixture::FirstImagePath(*w), engine.Image(first).path);
    GuiChainedPoints& firstMarkers = MainWindowFixture::FirstMarkers(*w);
    GuiChainedPoints& secondMarkers = MainWindowFixture::SecondMarkers(*w);
    const int matched = firstMarkers.Count();
    ASSERT_GT(matched, 10);

    // End zooms to the pair; one point is inserted and dragged onto a true correspondence in
    // both pictures (2 brings the second picture forward for its own).
    QTest::keyClick(view, Qt::Key_End);
    QTest::mouseClick(page.m_insertPointToolButton, Qt::LeftButton);
    ASSERT_EQ(firstMarkers.Count(), matched + 1);
    const PointD centre = Centroid(firstMarkers.Points());
    const PointD target{std::round(centre.x) + 7, std::round(centre.y) - 5};
    double tx, ty;
    ASSERT_TRUE(render::MapBetweenViews(specs[static_cast<size_t>(first)], specs[static_cast<size_t>(second)], target.x,
                                        target.y, &tx, &ty));
    DragWithMouse(view, firstMarkers, matched, target);
    EXPECT_NEAR(firstMarkers.Point(matched).x, target.x, 2);
    EXPECT_NEAR(firstMarkers.Point(matched).y, target.y, 2);
    QTest::keyClick(view, Qt::Key_2);
    DragWithMouse(view, secondMarkers, matched, {tx, ty});
    EXPECT_NEAR(secondMarkers.Point(matched).x, tx, 2);
    EXPECT_NEAR(secondMarkers.Point(matched).y, ty, 2);
    Screenshot(*w, "matching-page");

    // Applying asks to save, stores the points and refits the pair.
    const std::vector<PointD> edited = firstMarkers.Points(), editedSecond = secondMarkers.Points();
    w.prompts->AnswerAsk("Save changes");
    QTest::mouseClick(page.m_applyManualChangesToolButton, Qt::LeftButton);
    EXPECT_EQ(w.prompts->Pending(), 0u);
    EXPECT_TRUE(engine.ComparePoints(first, second, edited, editedSecond));
    const ImageCombination* pair = engine.Combination(first, second);
    ASSERT_TRUE(pair->matched);
    EXPECT_EQ(static_cast<int>(pair->P.size()), matched + 1);
    EXPECT_LT(pair->error, 2.0);
    EXPECT_NEAR(pair->f, 700, 35);
    Screenshot(*w, "matching-page-applied");
    EXPECT_TRUE(MainWindowFixture::FirstImagePath(*w).IsEmpty());
}
