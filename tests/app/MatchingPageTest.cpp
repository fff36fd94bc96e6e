// The matching page in the window, driven through its buttons, the hierarchy tree and the
// view's manager with scripted prompts, on rendered photographs.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QKeyEvent>
#include <QProgressDialog>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <cmath>
#include <functional>
#include <set>

#include "ProjectTestSupport.h"
#include "view/GuiChainedPoints.h"
#include "view/GuiMgr.h"
#include "view/GuiPoints.h"
#include "view/ZelvoWidget.h"

namespace {

struct MatchingWindow {
    QTemporaryDir dir;
    TestWindow w;
    std::vector<GuiBitmap*> pictures;

    explicit MatchingWindow(const QStringList& files) : w(ShownWindow(dir)) {
        MainWindowFixture::Frame(*w).m_matchingToolButton->click();
        if (!files.isEmpty())
            AddPhotos(w, files);
        pictures = MainWindowFixture::SourcePictures(*w);
    }
    Ui::MatchingForm& Page() { return MainWindowFixture::MatchingPage(*w); }
    PanoramaEngine& Engine() { return MainWindowFixture::Engine(*w); }
    GuiMgr& View() { return MainWindowFixture::ViewManager(*w); }
    QTreeWidget* Tree() { return Page().m_overlappingHierarchyTreeWidget; }
    GuiChainedPoints& First() { return MainWindowFixture::FirstMarkers(*w); }
    GuiChainedPoints& Second() { return MainWindowFixture::SecondMarkers(*w); }
    Zelvo::Chars Path(size_t k) const { return Zelvo::Chars(pictures[k]->Name().c_str()); }
    QString Log() { return LogText(*w); }

    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QKeyEvent event(QEvent::KeyPress, key, modifiers);
        emit MainWindowFixture::View(*w).m_zelvoWidget->KeyPressed(&event);
    }
    // The picture chosen in the view, then made first (button) or second (Ctrl+2).
    void SelectPair(size_t first, size_t second) {
        View().Select(pictures[first]);
        Page().m_selectFirstToolButton->click();
        View().Select(pictures[second]);
        Key(Qt::Key_2, Qt::ControlModifier);
    }
    // Presses on point k of a marker set and drags it to `to` (the set's image pixels).
    void DragPoint(GuiPoints& markers, int k, const PointD& to) {
        const PointD from = markers.ToScreen(markers.Point(k));
        const PointD target = markers.ToScreen(to);
        View().LeftPress(from.x, from.y);
        View().LeftDrag(target.x, target.y);
        View().LeftRelease(target.x, target.y);
    }
    // Presses on point k, which selects it.
    void PressPoint(GuiPoints& markers, int k) {
        const PointD at = markers.ToScreen(markers.Point(k));
        View().LeftPress(at.x, at.y);
        View().LeftRelease(at.x, at.y);
    }
};

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

// The node rows (all but the root "OverlapHierarchy").
int NodeRows(QTreeWidget* tree) { return std::max(0, static_cast<int>(TreeRows(tree).size()) - 1); }

bool HasIcon(const QTreeWidgetItem* row, const char* resource) {
    if (row->icon(0).isNull())
        return false;
    return row->icon(0).pixmap(16).toImage() == QIcon(resource).pixmap(16).toImage();
}

void ExpectLook(const GuiBitmap* picture, float r, float g, float b, float a, double width) {
    EXPECT_FLOAT_EQ(picture->Color().r, r);
    EXPECT_FLOAT_EQ(picture->Color().g, g);
    EXPECT_FLOAT_EQ(picture->Color().b, b);
    EXPECT_FLOAT_EQ(picture->Color().a, a);
    EXPECT_DOUBLE_EQ(picture->LineWidth(), width);
}

bool InChildLayer(GuiBitmap* picture, const GuiObj* obj) {
    const auto& objects = picture->ChildLayer().Objects();
    return std::find(objects.begin(), objects.end(), obj) != objects.end();
}

// Points of image 0 of the photographs and where image 1 sees them.
struct TruePairs {
    std::vector<PointD> inFirst, inSecond;
    TruePairs(size_t a, size_t b, std::initializer_list<PointD> points) {
        for (const PointD& p : points) {
            double x, y;
            EXPECT_TRUE(render::MapBetweenViews(Photographs().Spec(a), Photographs().Spec(b), p.x, p.y, &x, &y));
            inFirst.push_back(p);
            inSecond.push_back({x, y});
        }
    }
};

}  // namespace

TEST(MatchingPage, AutomaticMatchingFillsTheTreeArrangesThePicturesAndShowsTheFeatures) {
    MatchingWindow t(Photos({0, 1, 2, 3, 4}));
    t.Engine().SetDirty(false);
    t.Page().m_automaticMatchingButton->click();
    ASSERT_TRUE(t.Engine().MainTree()) << t.Log().toStdString();
    EXPECT_TRUE(t.Log().contains("...find overlapping images done\n"));
    EXPECT_TRUE(t.Engine().IsDirty());
    EXPECT_EQ(MainWindowFixture::CurrentProgress(*t.w), nullptr);

    // The tree: the root, then every node of the main tree with the engine's texts.
    std::vector<QTreeWidgetItem*> rows = TreeRows(t.Tree());
    ASSERT_GE(rows.size(), 6u);
    EXPECT_EQ(rows[0]->text(0), "OverlapHierarchy");
    EXPECT_EQ(t.Tree()->headerItem()->text(0), "OverlapHierarchy");
    std::vector<QString> expected;
    ForEachPreOrder(t.Engine().MainTree(), [&](const HierarchyNode* n) {
        expected.push_back(n->parent ? QString::asprintf("%d-%d: %d matches, err:%3.1f", n->image, n->parent->image,
                                                         static_cast<int>(n->childPoints.size()), n->error)
                                     : QString("Reference image %1").arg(n->image));
    });
    ASSERT_EQ(rows.size(), expected.size() + 1);  // no transition tree for five photographs
    for (size_t k = 0; k < expected.size(); ++k) {
        EXPECT_EQ(rows[k + 1]->text(0), expected[k]);
        EXPECT_TRUE(rows[k + 1]->isExpanded() || rows[k + 1]->childCount() == 0);
    }
    const int reference = t.Engine().ReferenceIndex();
    EXPECT_EQ(rows[1]->toolTip(0), QString("Image %1 is the reference image").arg(reference));
    for (size_t k = 2; k < rows.size(); ++k)
        EXPECT_TRUE(rows[k]->toolTip(0).startsWith("Image ") && rows[k]->toolTip(0).contains(": /"))
            << rows[k]->toolTip(0).toStdString();
    EXPECT_EQ(t.Engine().MainTree()->DistinctImages().size(), 5u);

    // The pictures stand where the layout puts them, the union starting at the origin.
    std::vector<PlacedImage> placed;
    std::vector<int> unplaced;
    t.Engine().GroupLayout(placed, unplaced);
    ASSERT_EQ(placed.size(), 5u);
    EXPECT_TRUE(unplaced.empty());
    double left = 1e300, top = 1e300;
    for (const PlacedImage& p : placed) {
        left = std::min(left, p.x);
        top = std::min(top, p.y);
    }
    for (const PlacedImage& p : placed) {
        const PointD at = t.pictures[static_cast<size_t>(p.image)]->TopLeft();
        EXPECT_NEAR(at.x, p.x - left, 2) << p.image;
        EXPECT_NEAR(at.y, p.y - top, 2) << p.image;
    }
    // Neighbours 25 degrees apart at f = 300 stand about 140 pixels apart.
    EXPECT_NEAR(std::abs(t.pictures[1]->TopLeft().x - t.pictures[0]->TopLeft().x), 140, 20);

    // One green set of the feature points per picture while the box is checked.
    t.Page().m_showFeaturePointsCheckBox->setChecked(true);
    EXPECT_EQ(MainWindowFixture::FeatureMarkerCount(*t.w), 5u);
    for (size_t k = 0; k < 5; ++k) {
        const auto& children = t.pictures[k]->ChildLayer().Objects();
        ASSERT_EQ(children.size(), 1u);
        auto* features = dynamic_cast<GuiPoints*>(children[0]);
        ASSERT_NE(features, nullptr);
        EXPECT_EQ(features->Points(), t.Engine().Image(static_cast<int>(k)).featurePoints);
        EXPECT_GT(features->Count(), 20);
        EXPECT_FLOAT_EQ(features->Color().g, 1);
        EXPECT_FLOAT_EQ(features->Color().r, 0);
        EXPECT_FLOAT_EQ(features->Color().b, 0);
    }
    t.Page().m_showFeaturePointsCheckBox->setChecked(false);
    EXPECT_EQ(MainWindowFixture::FeatureMarkerCount(*t.w), 0u);
    for (GuiBitmap* picture : t.pictures)
        EXPECT_TRUE(picture->ChildLayer().Objects().empty());
    EXPECT_EQ(t.w.prompts->Pending(), 0u);
}

TEST(MatchingPage, PairWorkSelectMatchInsertDragSaveAndDelete) {
    MatchingWindow t(Photos({0, 1, 2}));
    // Select by button and by Ctrl+2: red and blue frames, three wide, the pair on top.
    t.SelectPair(1, 2);
    EXPECT_EQ(MainWindowFixture::FirstImagePath(*t.w), t.Path(1));
    EXPECT_EQ(MainWindowFixture::SecondImagePath(*t.w), t.Path(2));
    ExpectLook(t.pictures[1], 1, 0, 0, 0.5f, 3);
    ExpectLook(t.pictures[2], 0, 0, 1, 0.5f, 3);
    EXPECT_EQ(t.View().Layer(0).Objects().back(), t.pictures[2]);
    // Key 1 brings the first picture forward and selects it.
    t.Key(Qt::Key_1);
    EXPECT_EQ(t.View().Layer(0).Objects().back(), t.pictures[1]);
    EXPECT_EQ(t.View().Selected(), t.pictures[1]);

    // Matching the pair: its points on both pictures, linked, red and blue; the tree's icons.
    t.Page().m_pairAutomaticMatchingButton->click();
    const ImageCombination* pair = t.Engine().Combination(1, 2);
    ASSERT_TRUE(pair && pair->matched) << t.Log().toStdString();
    std::vector<PointD> P1, P2;
    t.Engine().GetCombinationPoints(1, 2, P1, P2);
    EXPECT_EQ(t.First().Points(), P1);
    EXPECT_EQ(t.Second().Points(), P2);
    // Matching it again asks first, since the points may be work done by hand: kept, they stay
    // as they are; matched anew, the pair is matched again.
    const QString logBefore = t.Log();
    t.w.prompts->AnswerAsk("Keep the points");
    t.Page().m_pairAutomaticMatchingButton->click();
    EXPECT_TRUE(t.w.prompts->Last().text.startsWith("The pair has corresponding points.\nAutomatic matching replaces"));
    EXPECT_EQ(t.First().Points(), P1);
    EXPECT_EQ(t.Log(), logBefore);
    t.w.prompts->AnswerAsk("Match anew");
    t.Page().m_pairAutomaticMatchingButton->click();
    EXPECT_EQ(t.w.prompts->Pending(), 0u);
    EXPECT_TRUE(t.Log().size() > logBefore.size());
    ASSERT_TRUE(t.Engine().Combination(1, 2)->matched);
    t.Engine().GetCombinationPoints(1, 2, P1, P2);
    EXPECT_EQ(t.First().Points(), P1);
    EXPECT_TRUE(InChildLayer(t.pictures[1], &t.First()));
    EXPECT_TRUE(InChildLayer(t.pictures[2], &t.Second()));
    EXPECT_EQ(t.First().Next(), &t.Second());
    EXPECT_FLOAT_EQ(t.First().Color().r, 1);
    EXPECT_FLOAT_EQ(t.First().Color().a, 1);
    EXPECT_FLOAT_EQ(t.Second().Color().b, 1);
    EXPECT_TRUE(t.First().PointEditing());
    EXPECT_DOUBLE_EQ(t.First().MarkerHalfSize(), 4);  // the settings' marker size
    EXPECT_EQ(t.pictures[1]->TextureLimit(), 1024);   // the image pair's texture size
    int red = 0, blue = 0;
    for (QTreeWidgetItem* row : TreeRows(t.Tree())) {
        red += HasIcon(row, ":/images/IconRedFrame.png");
        blue += HasIcon(row, ":/images/IconBlueFrame.png");
    }
    EXPECT_EQ(red, 1);
    EXPECT_EQ(blue, 1);
    t.Key(Qt::Key_End);
    RectD pairBox;
    ASSERT_TRUE(t.View().SceneBounds({t.pictures[1], t.pictures[2]}, pairBox));
    const double W = t.View().ViewportWidth(), H = t.View().ViewportHeight();
    EXPECT_NEAR(t.View().GetZoom(),
                pairBox.height / H > pairBox.width / W ? (H - 1) / (pairBox.height + 1.5)
                                                       : (W - 1) / (pairBox.width + 1.5),
                1e-9);

    // "Delete all" asks, then clears the pair and the tree and leaves no pair selected.
    t.w.prompts->AnswerStandard(QMessageBox::Yes);
    t.Page().m_deleteAllPointsToolButton->click();
    EXPECT_EQ(t.w.prompts->Last().text, "Do you really want to delete all points ?");
    EXPECT_FALSE(t.Engine().Combination(1, 2)->matched);
    EXPECT_TRUE(t.Engine().Combination(1, 2)->P.empty());
    EXPECT_EQ(NodeRows(t.Tree()), 0);
    EXPECT_TRUE(MainWindowFixture::FirstImagePath(*t.w).IsEmpty());
    EXPECT_TRUE(MainWindowFixture::SecondImagePath(*t.w).IsEmpty());
    EXPECT_FALSE(InChildLayer(t.pictures[1], &t.First()));
    ExpectLook(t.pictures[1], 1, 1, 1, 0.5f, 2);
    EXPECT_EQ(t.pictures[1]->TextureLimit(), 512);

    // Inserting on an empty pair of 320 x 240 pictures (f = 12): four points down a column,
    // then one at the top of the next.
    t.SelectPair(0, 1);
    t.Page().m_insertPointToolButton->click();
    const std::vector<PointD> four{{24, 24}, {24, 36}, {24, 48}, {24, 60}};
    EXPECT_EQ(t.First().Points(), four);
    EXPECT_EQ(t.Second().Points(), four);
    t.Page().m_insertPointToolButton->click();
    ASSERT_EQ(t.First().Count(), 5);
    EXPECT_EQ(t.First().Point(4), (PointD{36, 24}));
    EXPECT_EQ(t.Second().Point(4), (PointD{36, 24}));
    EXPECT_TRUE(InChildLayer(t.pictures[0], &t.First()));

    // The points are dragged onto true correspondences (the second picture brought forward
    // for its own); one dragged far beyond the picture stays on its edge.
    t.View().ZoomToFit({t.pictures[0], t.pictures[1]});
    TruePairs truth(0, 1, {{200, 60}, {290, 40}, {240, 150}, {300, 200}, {215, 215}});
    t.Key(Qt::Key_1);
    t.DragPoint(t.First(), 0, {1000, -300});
    EXPECT_DOUBLE_EQ(t.First().Point(0).x, 320);
    EXPECT_DOUBLE_EQ(t.First().Point(0).y, 0);
    for (int k = 0; k < 5; ++k)
        t.DragPoint(t.First(), k, truth.inFirst[k]);
    t.Key(Qt::Key_2);
    for (int k = 0; k < 5; ++k)
        t.DragPoint(t.Second(), k, truth.inSecond[k]);
    for (int k = 0; k < 5; ++k) {
        EXPECT_NEAR(t.First().Point(k).x, truth.inFirst[k].x, 1e-6);
        EXPECT_NEAR(t.Second().Point(k).y, truth.inSecond[k].y, 1e-6);
    }

    // Leaving the pair asks; "Save changes" stores the points and refits the pair. (The drags
    // go through screen pixels, so the stored points are the markers' own, not the truth's.)
    const std::vector<PointD> edited = t.First().Points(), editedSecond = t.Second().Points();
    EXPECT_FALSE(t.Engine().ComparePoints(0, 1, edited, editedSecond));
    t.w.prompts->AnswerAsk("Save changes");
    t.Page().m_applyManualChangesToolButton->click();
    EXPECT_EQ(t.w.prompts->Last().text, "The corresponding points have changed!\nDo you want to save the changes ?");
    EXPECT_EQ(t.w.prompts->Last().buttons, QStringList({"Save changes", "Don't save changes"}));
    const ImageCombination* saved = t.Engine().Combination(0, 1);
    ASSERT_TRUE(saved->matched);
    EXPECT_TRUE(t.Engine().ComparePoints(0, 1, edited, editedSecond));
    EXPECT_NEAR(saved->f, 300, 15);
    EXPECT_LT(saved->error, 1.0);
    EXPECT_TRUE(MainWindowFixture::FirstImagePath(*t.w).IsEmpty());
    // The tree shows the refitted pair.
    std::vector<QTreeWidgetItem*> rows = TreeRows(t.Tree());
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[2]->text(0), QString::asprintf("1-0: 5 matches, err:%3.1f", saved->error));

    // A changed point and "Don't save changes": the stored points stay as they were.
    t.SelectPair(0, 1);
    ASSERT_EQ(t.First().Count(), 5);
    t.Key(Qt::Key_1);
    t.DragPoint(t.First(), 2, {100, 100});
    t.w.prompts->AnswerAsk("Don't save changes");
    EXPECT_FALSE(t.Engine().ComparePoints(0, 1, t.First().Points(), t.Second().Points()));
    t.Page().m_applyManualChangesToolButton->click();
    EXPECT_EQ(t.w.prompts->Pending(), 0u);
    EXPECT_TRUE(t.Engine().ComparePoints(0, 1, edited, editedSecond));

    // Deleting a point of five removes it from both sets without a question; with four left
    // the quoted question comes, Cancel keeps them, Yes clears the pair.
    t.SelectPair(0, 1);
    t.Key(Qt::Key_1);
    t.PressPoint(t.First(), 3);
    ASSERT_EQ(t.View().Selected(), &t.First());
    ASSERT_EQ(t.First().SelectedPoint(), 3);
    t.Page().m_deletePointToolButton->click();
    EXPECT_EQ(t.First().Count(), 4);
    EXPECT_EQ(t.Second().Count(), 4);
    EXPECT_EQ(t.Second().Point(3), editedSecond[4]);
    t.PressPoint(t.First(), 0);
    t.w.prompts->AnswerStandard(QMessageBox::Cancel);
    t.Page().m_deletePointToolButton->click();
    EXPECT_EQ(t.w.prompts->Last().text, "At least 4 points are needed!\nDo you want to delete all points now?");
    EXPECT_EQ(t.First().Count(), 4);
    t.w.prompts->AnswerStandard(QMessageBox::Yes);
    t.Page().m_deletePointToolButton->click();
    EXPECT_FALSE(t.Engine().Combination(0, 1)->matched);
    EXPECT_EQ(NodeRows(t.Tree()), 0);
    EXPECT_TRUE(MainWindowFixture::FirstImagePath(*t.w).IsEmpty());
    EXPECT_EQ(t.w.prompts->Pending(), 0u);
}

TEST(MatchingPage, TreeClicksSelectPairsAndTheReferenceRebuildsTheHierarchy) {
    MatchingWindow t(Photos({0, 1, 2, 3}));
    t.Page().m_automaticMatchingButton->click();
    ASSERT_TRUE(t.Engine().MainTree());
    std::vector<QTreeWidgetItem*> rows = TreeRows(t.Tree());
    ASSERT_GE(rows.size(), 3u);

    // A row below another: the clicked image first, its parent second.
    QTreeWidgetItem* child = rows[2];
    ASSERT_TRUE(child->parent() == rows[1]);
    QTest::mouseClick(t.Tree()->viewport(), Qt::LeftButton, {}, t.Tree()->visualItemRect(child).center());
    const int childImage = t.Engine().MainTree()->firstChild->image;
    const int rootImage = t.Engine().MainTree()->image;
    EXPECT_EQ(MainWindowFixture::FirstImagePath(*t.w), t.Path(static_cast<size_t>(childImage)));
    EXPECT_EQ(MainWindowFixture::SecondImagePath(*t.w), t.Path(static_cast<size_t>(rootImage)));
    ExpectLook(t.pictures[static_cast<size_t>(childImage)], 1, 0, 0, 0.7f, 3);
    ExpectLook(t.pictures[static_cast<size_t>(rootImage)], 0, 0, 1, 0.7f, 3);
    EXPECT_TRUE(HasIcon(child, ":/images/IconRedFrame.png"));
    EXPECT_TRUE(HasIcon(rows[1], ":/images/IconBlueFrame.png"));
    EXPECT_EQ(t.First().Points(), t.Engine().MainTree()->firstChild->childPoints);
    EXPECT_EQ(t.Second().Points(), t.Engine().MainTree()->firstChild->parentPoints);
    EXPECT_EQ(t.w->statusBar()->currentMessage().toStdString(), t.Path(static_cast<size_t>(childImage)).c_str());
    // The pictures lie on each other, the first in front: the second picture's points are still
    // drawn above it and take a press there before the picture does.
    EXPECT_TRUE(t.First().IsOnTop());
    EXPECT_TRUE(t.Second().IsOnTop());
    ASSERT_FALSE(t.Second().Points().empty());
    const PointD under = t.Second().ToScreen(t.Second().Points()[0]);
    EXPECT_EQ(t.View().HitTest(under.x, under.y), &t.Second());

    // The root row of a tree: its first child first, itself second; the previous icons go.
    QTest::mouseClick(t.Tree()->viewport(), Qt::LeftButton, {}, t.Tree()->visualItemRect(rows[1]).center());
    EXPECT_EQ(MainWindowFixture::FirstImagePath(*t.w), t.Path(static_cast<size_t>(childImage)));
    EXPECT_EQ(MainWindowFixture::SecondImagePath(*t.w), t.Path(static_cast<size_t>(rootImage)));

    // The document's root selects nothing and shows everything.
    t.View().SetZoom(5, false);
    QTest::mouseClick(t.Tree()->viewport(), Qt::LeftButton, {}, t.Tree()->visualItemRect(rows[0]).center());
    EXPECT_TRUE(MainWindowFixture::FirstImagePath(*t.w).IsEmpty());
    EXPECT_LT(t.View().GetZoom(), 5);

    // Choosing the reference through the button: the hierarchy is rebuilt from it.
    const int chosen = rootImage == 3 ? 0 : 3;
    t.View().Select(t.pictures[static_cast<size_t>(chosen)]);
    t.Page().m_selectRefPushButton->click();
    EXPECT_EQ(t.Engine().ReferenceIndex(), chosen);
    rows = TreeRows(t.Tree());
    ASSERT_GE(rows.size(), 5u);
    EXPECT_EQ(rows[1]->text(0), QString("Reference image %1").arg(chosen));
    EXPECT_EQ(rows[1]->toolTip(0), QString("Image %1 is the reference image").arg(chosen));
    EXPECT_EQ(t.Engine().MainTree()->image, chosen);

    // Automatic matching chooses afresh; the same image can then be chosen again.
    t.Page().m_automaticMatchingButton->click();
    ASSERT_EQ(t.Engine().ReferenceIndex(), rootImage);
    t.View().Select(t.pictures[static_cast<size_t>(chosen)]);
    t.Page().m_selectRefPushButton->click();
    EXPECT_EQ(t.Engine().ReferenceIndex(), chosen);
    EXPECT_EQ(TreeRows(t.Tree())[1]->text(0), QString("Reference image %1").arg(chosen));
    EXPECT_EQ(t.w.prompts->Pending(), 0u);
}

// The node image and the parent image a row's text names ("3-1: 40 matches, err:0.2").
std::pair<size_t, size_t> RowImages(const QTreeWidgetItem* row) {
    const QStringList images = row->text(0).section(':', 0, 0).split('-');
    return {images.value(0).toULongLong(), images.value(1).toULongLong()};
}

TEST(MatchingPage, ATreeClickOffersToSaveChangedPointsAndTheTreeFollowsTheSavedFit) {
    MatchingWindow t(Photos({0, 1, 2, 3}));
    // Before any matching the feature sets are there, and empty.
    t.Page().m_showFeaturePointsCheckBox->setChecked(true);
    ASSERT_EQ(MainWindowFixture::FeatureMarkerCount(*t.w), 4u);
    for (GuiBitmap* picture : t.pictures) {
        ASSERT_EQ(picture->ChildLayer().Objects().size(), 1u);
        EXPECT_EQ(dynamic_cast<GuiPoints*>(picture->ChildLayer().Objects()[0])->Count(), 0);
    }
    t.Page().m_showFeaturePointsCheckBox->setChecked(false);
    EXPECT_EQ(MainWindowFixture::FeatureMarkerCount(*t.w), 0u);

    t.Page().m_automaticMatchingButton->click();
    ASSERT_TRUE(t.Engine().MainTree());
    std::vector<QTreeWidgetItem*> rows = TreeRows(t.Tree());
    ASSERT_GE(rows.size(), 4u);
    auto click = [&](QTreeWidgetItem* row) {
        QTest::mouseClick(t.Tree()->viewport(), Qt::LeftButton, {}, t.Tree()->visualItemRect(row).center());
    };
    const auto [a, b] = RowImages(rows[2]);
    const auto [c, d] = RowImages(rows.back());
    ASSERT_TRUE(std::set<size_t>({a, b}) != std::set<size_t>({c, d}));

    // One point of the pair (a, b) moved, then another pair chosen in the tree.
    click(rows[2]);
    ASSERT_EQ(MainWindowFixture::FirstImagePath(*t.w), t.Path(a));
    const int count = t.First().Count();
    ASSERT_GT(count, 4);
    t.View().ZoomToFit({t.pictures[a], t.pictures[b]});
    t.Key(Qt::Key_1);
    const PointD moved{t.First().Point(0).x + 9, t.First().Point(0).y + 6};
    t.DragPoint(t.First(), 0, moved);
    const std::vector<PointD> edited = t.First().Points(), editedSecond = t.Second().Points();
    ASSERT_FALSE(t.Engine().ComparePoints(static_cast<int>(a), static_cast<int>(b), edited, editedSecond));
    t.w.prompts->AnswerAsk("Save changes");
    click(rows.back());
    EXPECT_EQ(t.w.prompts->Last().text, "The corresponding points have changed!\nDo you want to save the changes ?");
    EXPECT_TRUE(t.Engine().ComparePoints(static_cast<int>(a), static_cast<int>(b), edited, editedSecond));
    EXPECT_EQ(MainWindowFixture::FirstImagePath(*t.w), t.Path(c));
    EXPECT_EQ(MainWindowFixture::SecondImagePath(*t.w), t.Path(d));

    // Once the click has returned the tree shows the refit, and the new pair keeps its icons.
    QCoreApplication::processEvents();
    const ImageCombination* refitted = t.Engine().Combination(static_cast<int>(a), static_cast<int>(b));
    int redRows = 0, blueRows = 0;
    bool refitShown = false;
    for (QTreeWidgetItem* row : TreeRows(t.Tree())) {
        const auto images = RowImages(row);
        if (std::set<size_t>({images.first, images.second}) == std::set<size_t>({a, b}))
            refitShown = row->text(0).endsWith(QString::asprintf("%d matches, err:%3.1f", count, refitted->error));
        if (HasIcon(row, ":/images/IconRedFrame.png")) {
            ++redRows;
            EXPECT_EQ(images, std::make_pair(c, d));
        }
        if (HasIcon(row, ":/images/IconBlueFrame.png")) {
            ++blueRows;
            EXPECT_TRUE(row->text(0).startsWith(QString("%1-").arg(d)) || row->text(0).endsWith(QString(" %1").arg(d)));
        }
    }
    EXPECT_TRUE(refitShown);
    EXPECT_EQ(redRows, 1);
    EXPECT_EQ(blueRows, 1);

    // "Don't save changes" on the next click leaves the stored points as they are.
    std::vector<PointD> storedFirst, storedSecond;
    t.Engine().GetCombinationPoints(static_cast<int>(c), static_cast<int>(d), storedFirst, storedSecond);
    t.View().ZoomToFit({t.pictures[c], t.pictures[d]});
    t.Key(Qt::Key_1);
    t.DragPoint(t.First(), 1, {t.First().Point(1).x - 7, t.First().Point(1).y + 4});
    t.w.prompts->AnswerAsk("Don't save changes");
    click(TreeRows(t.Tree())[2]);
    EXPECT_TRUE(t.Engine().ComparePoints(static_cast<int>(c), static_cast<int>(d), storedFirst, storedSecond));
    EXPECT_EQ(MainWindowFixture::FirstImagePath(*t.w), t.Path(a));
    EXPECT_EQ(t.w.prompts->Pending(), 0u);

    // The parameters button runs the matching parameters dialog on the engine's values.
    t.w.prompts->AnswerDialog(QDialog::Rejected, [&](QDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Automatic matching parameters");
        auto* radius = dialog.findChild<QDoubleSpinBox*>("m_matchingRadiusDSpinBox");
        ASSERT_NE(radius, nullptr);
        EXPECT_DOUBLE_EQ(radius->value(), t.Engine().GetFeatureMatchingRadius());
    });
    t.Page().m_matchingParametersToolButton->click();
    EXPECT_EQ(t.w.prompts->Pending(), 0u);
}

TEST(MatchingPage, AbortRestoresThePreviousPairsAndTheWindowGoesOn) {
    MatchingWindow t(Photos({0, 1, 2}));
    TruePairs truth(0, 1, {{200, 60}, {290, 40}, {240, 150}, {300, 200}, {215, 215}, {260, 100}});
    ASSERT_TRUE(t.Engine().SetCombinationPoints(0, 1, truth.inFirst, truth.inSecond));
    const ImageCombination before = *t.Engine().Combination(0, 1);
    t.Page().m_applyManualChangesToolButton->click();  // shows the hierarchy
    ASSERT_EQ(NodeRows(t.Tree()), 2);

    // "Abort" is pressed as soon as the dialog is up and events get through.
    QTimer presser;
    bool pressed = false;
    QObject::connect(&presser, &QTimer::timeout, [&] {
        QProgressDialog* dialog = MainWindowFixture::CurrentProgress(*t.w);
        if (dialog && !pressed) {
            EXPECT_EQ(dialog->labelText().isEmpty(), false);
            QTest::mouseClick(dialog->findChild<QPushButton*>(), Qt::LeftButton);
            pressed = true;
        }
    });
    presser.start(1);
    t.Page().m_automaticMatchingButton->click();
    presser.stop();
    ASSERT_TRUE(pressed);
    EXPECT_TRUE(t.Log().contains("\nAborted!\n")) << t.Log().toStdString();
    EXPECT_TRUE(t.Log().endsWith("...find overlapping images failed\n"));
    EXPECT_EQ(t.Engine().LastFailure(), EngineFailure::Aborted);
    const ImageCombination* after = t.Engine().Combination(0, 1);
    EXPECT_TRUE(after->matched);
    EXPECT_EQ(after->P, before.P);
    EXPECT_EQ(after->Q, before.Q);
    EXPECT_FALSE(t.Engine().Combination(1, 2)->matched);
    EXPECT_EQ(NodeRows(t.Tree()), 2);
    EXPECT_EQ(MainWindowFixture::CurrentProgress(*t.w), nullptr);

    // The window goes on: matching again finishes.
    t.Page().m_automaticMatchingButton->click();
    EXPECT_TRUE(t.Log().endsWith("...find overlapping images done\n"));
    EXPECT_GE(NodeRows(t.Tree()), 3);
    EXPECT_EQ(t.w.prompts->Pending(), 0u);
}

TEST(MatchingPage, BadInputLeavesAnEmptyTreeAndNothingHappensWithoutAPair) {
    {
        MatchingWindow t({});
        t.Page().m_automaticMatchingButton->click();
        EXPECT_TRUE(t.Log().contains("There are no images to match!"));
        EXPECT_EQ(NodeRows(t.Tree()), 0);
        EXPECT_EQ(MainWindowFixture::CurrentProgress(*t.w), nullptr);
    }
    {
        MatchingWindow t(Photos({2}));
        t.Page().m_automaticMatchingButton->click();
        EXPECT_TRUE(t.Log().endsWith("...find overlapping images failed\n")) << t.Log().toStdString();
        EXPECT_EQ(NodeRows(t.Tree()), 0);
    }
    {
        RenderedViews apart({View(0, 0, 0, 300, 320, 240), View(180, 0, 0, 300, 320, 240)});
        MatchingWindow t({QString::fromStdString(apart.Path(0)), QString::fromStdString(apart.Path(1))});
        t.Page().m_automaticMatchingButton->click();
        EXPECT_TRUE(t.Log().endsWith("...find overlapping images failed\n")) << t.Log().toStdString();
        EXPECT_EQ(t.Engine().LastFailure(), EngineFailure::NoOverlap);
        EXPECT_EQ(NodeRows(t.Tree()), 0);
        EXPECT_FALSE(t.Engine().MainTree());
    }
    // No pair selected: the pair's buttons do nothing and ask nothing.
    MatchingWindow t(Photos({0, 1}));
    t.Engine().SetDirty(false);
    const QString log = t.Log();
    const size_t asked = t.w.prompts->History().size();
    const std::vector<QAbstractButton*> pairButtons{
        t.Page().m_pairAutomaticMatchingButton,  t.Page().m_insertPointToolButton,
        t.Page().m_deletePointToolButton,        t.Page().m_deleteAllPointsToolButton,
        t.Page().m_applyManualChangesToolButton, t.Page().m_selectFirstToolButton,
        t.Page().m_selectSecondToolButton,       t.Page().m_selectRefPushButton};
    for (QAbstractButton* button : pairButtons)
        button->click();
    t.Key(Qt::Key_1, Qt::ControlModifier);
    t.Key(Qt::Key_1);
    EXPECT_EQ(t.Log(), log);
    EXPECT_FALSE(t.Engine().IsDirty());
    EXPECT_TRUE(t.First().Points().empty());
    EXPECT_TRUE(MainWindowFixture::FirstImagePath(*t.w).IsEmpty());
    EXPECT_EQ(t.w.prompts->History().size(), asked);
    // Only one image chosen: still no pair to work on.
    t.View().Select(t.pictures[0]);
    t.Page().m_selectFirstToolButton->click();
    t.Page().m_insertPointToolButton->click();
    t.Page().m_pairAutomaticMatchingButton->click();
    EXPECT_TRUE(t.First().Points().empty());
    EXPECT_EQ(t.Log(), log);
    // Choosing the first image as second leaves no first image.
    t.Key(Qt::Key_2, Qt::ControlModifier);
    EXPECT_TRUE(MainWindowFixture::FirstImagePath(*t.w).IsEmpty());
    EXPECT_EQ(MainWindowFixture::SecondImagePath(*t.w), t.Path(0));
    ExpectLook(t.pictures[0], 0, 0, 1, 0.5f, 3);
}

// The size of the dark marks in a branch's area left of a row: an open branch's arrow points
// down, wider than high; a closed one's points right, higher than wide.
QSize BranchMark(QTreeWidget* tree, QTreeWidgetItem* row) {
    const QImage image = tree->viewport()->grab().toImage();
    const QRect item = tree->visualItemRect(row);
    const QRect branch(item.left() - tree->indentation(), item.top(), tree->indentation(), item.height());
    int left = INT_MAX, right = -1, top = INT_MAX, bottom = -1;
    for (int y = branch.top(); y <= branch.bottom(); ++y)
        for (int x = std::max(0, branch.left()); x <= branch.right(); ++x)
            if (qGray(image.pixel(x, y)) < 160) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    return right < 0 ? QSize() : QSize(right - left + 1, bottom - top + 1);
}

TEST(MatchingPage, ExpandedRowsShowOpenBranchesWithoutThePointerOverTheTree) {
    MatchingWindow t(Photos({0, 1, 2, 3}));
    t.Page().m_automaticMatchingButton->click();
    QTest::qWait(50);
    int open = 0;
    for (QTreeWidgetItem* row : TreeRows(t.Tree())) {
        if (row->childCount() == 0)
            continue;
        ASSERT_TRUE(row->isExpanded());
        const QSize mark = BranchMark(t.Tree(), row);
        ASSERT_TRUE(mark.isValid()) << row->text(0).toStdString();
        EXPECT_GT(mark.width(), mark.height()) << row->text(0).toStdString();
        ++open;
    }
    EXPECT_GE(open, 3);
    // The measure tells the two apart: a plain tree's closed and open rows.
    QTreeWidget plain;
    auto* closedRow = new QTreeWidgetItem(&plain, QStringList{"closed"});
    new QTreeWidgetItem(closedRow, QStringList{"child"});
    auto* openRow = new QTreeWidgetItem(&plain, QStringList{"open"});
    new QTreeWidgetItem(openRow, QStringList{"child"});
    openRow->setExpanded(true);
    plain.resize(200, 120);
    plain.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&plain));
    const QSize closed = BranchMark(&plain, closedRow), opened = BranchMark(&plain, openRow);
    EXPECT_LT(closed.width(), closed.height());
    EXPECT_GT(opened.width(), opened.height());
}
