#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "view/GuiGroup.h"
#include "view/GuiMgr.h"
#include "view/GuiRect.h"
#include "view/ViewCommands.h"

namespace {

std::vector<std::unique_ptr<GuiRect>> Pictures(GuiMgr& mgr, const std::vector<std::pair<double, double>>& sizes) {
    std::vector<std::unique_ptr<GuiRect>> out;
    for (auto [w, h] : sizes) {
        auto r = std::make_unique<GuiRect>();
        r->SetWidth(w);
        r->SetHeight(h);
        mgr.Add(r.get());
        out.push_back(std::move(r));
    }
    return out;
}

std::vector<GuiRect*> Raw(const std::vector<std::unique_ptr<GuiRect>>& v, size_t from = 0, size_t to = ~size_t(0)) {
    std::vector<GuiRect*> out;
    for (size_t i = from; i < v.size() && i < to; ++i)
        out.push_back(v[i].get());
    return out;
}

void ExpectTopLeft(const GuiRect* r, double x, double y) {
    EXPECT_NEAR(r->TopLeft().x, x, 1e-9);
    EXPECT_NEAR(r->TopLeft().y, y, 1e-9);
}

}  // namespace

TEST(ViewCommands, GridColumns) {
    EXPECT_EQ(GridColumns(5), 3);  // trunc(2.236 + 0.999)
    EXPECT_EQ(GridColumns(4), 2);  // trunc(2.999)
    EXPECT_EQ(GridColumns(1), 1);
    EXPECT_EQ(GridColumns(2), 2);
    EXPECT_EQ(GridColumns(9), 3);
    EXPECT_EQ(GridColumns(10), 4);
    EXPECT_EQ(GridColumns(0), 0);
}

TEST(ViewCommands, ArrangeInAGridWithThePanoramasBelow) {
    GuiMgr mgr;
    mgr.SetViewportSize(1000, 800);
    auto pics = Pictures(mgr, {{100, 50}, {80, 60}, {120, 40}, {90, 70}, {60, 30}, {400, 100}, {300, 90}});
    // Five sources in three columns, then two panoramas.
    ArrangePictures(mgr, Raw(pics, 0, 5), Raw(pics, 5));
    ExpectTopLeft(pics[0].get(), 0, 0);
    ExpectTopLeft(pics[1].get(), 120, 0);
    ExpectTopLeft(pics[2].get(), 220, 0);
    ExpectTopLeft(pics[3].get(), 0, 80);  // below the tallest of the first row (60) + 20
    ExpectTopLeft(pics[4].get(), 110, 80);
    ExpectTopLeft(pics[5].get(), 0, 80 + 70 + 20 + 50);
    ExpectTopLeft(pics[6].get(), 0, 220 + 100 + 20);
    // The view fits everything: 430 high against 400 wide in a 1000 x 800 view.
    EXPECT_DOUBLE_EQ(mgr.GetZoom(), 799 / (430 + 1.5));

    // Four sources make two columns.
    auto four = Pictures(mgr, {{10, 10}, {10, 10}, {10, 10}, {10, 10}});
    EXPECT_DOUBLE_EQ(ArrangeInGrid(Raw(four), 5), 5 + 30 + 30);
    ExpectTopLeft(four[1].get(), 30, 5);
    ExpectTopLeft(four[2].get(), 0, 35);
    ExpectTopLeft(four[3].get(), 30, 35);
}

TEST(ViewCommands, AlignPlacesConnectedPicturesFromTheOrigin) {
    GuiMgr mgr;
    mgr.SetViewportSize(640, 480);
    auto pics = Pictures(mgr, {{100, 80}, {100, 80}, {50, 40}, {50, 40}, {300, 100}});
    AlignPictures(mgr, {{pics[0].get(), {-40, 30}}, {pics[1].get(), {20, -10}}}, Raw(pics, 2, 4), Raw(pics, 4));
    // The union of the two spans x -40..120 and y -10..110: shifted to start at (0, 0).
    ExpectTopLeft(pics[0].get(), 0, 40);
    ExpectTopLeft(pics[1].get(), 60, 0);
    // The unconnected ones in a grid from 100 below the union (height 120).
    ExpectTopLeft(pics[2].get(), 0, 220);
    ExpectTopLeft(pics[3].get(), 70, 220);
    // The panorama 50 below the grid's row (40 + 20).
    ExpectTopLeft(pics[4].get(), 0, 220 + 60 + 50);
    // Nothing connected: the grid starts at the top.
    AlignPictures(mgr, {}, Raw(pics, 2, 4), {});
    ExpectTopLeft(pics[2].get(), 0, 0);
}

TEST(ViewCommands, ZoomLabelShowsTheVisibleSceneArea) {
    EXPECT_EQ(ZoomLabelText(1000, 800, 2.0).toStdString(), " View:[500x400] Zoom:2.00 ");
    EXPECT_EQ(ZoomLabelText(1000, 800, 3.0).toStdString(), " View:[333x266] Zoom:3.00 ");
    EXPECT_EQ(ZoomLabelText(640, 480, 0.25).toStdString(), " View:[2560x1920] Zoom:0.25 ");
}

TEST(ViewCommands, FrontAndBackAmongSiblings) {
    GuiMgr mgr;
    GuiRect a, b, c;
    mgr.Add(&a);
    mgr.Add(&b);
    mgr.Add(&c);
    // Nothing selected: nothing happens.
    EXPECT_FALSE(BringSelectedToFront(mgr));
    mgr.Select(&c);
    c.ClearDirty();
    // The last object is already in front: no change and no repaint.
    EXPECT_FALSE(BringSelectedToFront(mgr));
    EXPECT_FALSE(c.IsDirty());
    EXPECT_TRUE(SendSelectedToBack(mgr));
    EXPECT_EQ(mgr.Layer(0).Objects(), (std::vector<GuiObj*>{&c, &a, &b}));
    EXPECT_TRUE(c.IsDirty());
    EXPECT_FALSE(SendSelectedToBack(mgr));
    mgr.Select(&a);
    EXPECT_TRUE(BringSelectedToFront(mgr));
    EXPECT_EQ(mgr.Layer(0).Objects(), (std::vector<GuiObj*>{&c, &b, &a}));
    // Inside a group the siblings are the group's children.
    GuiGroup g;
    GuiRect x, y;
    mgr.Add(&g);
    g.AddChild(&x);
    g.AddChild(&y);
    mgr.Select(&x);
    EXPECT_TRUE(BringSelectedToFront(mgr));
    EXPECT_EQ(g.ChildLayer().Objects(), (std::vector<GuiObj*>{&y, &x}));
}

TEST(ViewCommands, ZoomCommandsAndSelectionStepping) {
    GuiMgr mgr;
    mgr.SetViewportSize(500, 500);
    std::vector<double> zooms;
    mgr.SetZoomChangedCallback([&zooms](double z) { zooms.push_back(z); });
    ZoomIn(mgr);
    ZoomOut(mgr);
    EXPECT_DOUBLE_EQ(mgr.GetZoom(), 1.1 * 0.909);
    EXPECT_EQ(zooms.size(), 2u);
    GuiRect a, b, hidden, c;
    a.SetWidth(99);
    a.SetHeight(49);
    mgr.Add(&a);
    mgr.Add(&b);
    hidden.SetFlags(0);
    mgr.Add(&hidden);
    mgr.Add(&c);
    ZoomToSelection(mgr);  // nothing selected
    EXPECT_DOUBLE_EQ(mgr.GetZoom(), 1.1 * 0.909);
    EXPECT_TRUE(SelectNext(mgr));
    EXPECT_EQ(mgr.Selected(), &a);
    ZoomToSelection(mgr);
    EXPECT_DOUBLE_EQ(mgr.GetZoom(), 499 / 100.5);
    SelectNext(mgr);
    EXPECT_EQ(mgr.Selected(), &b);
    SelectNext(mgr);  // the hidden one is skipped
    EXPECT_EQ(mgr.Selected(), &c);
    SelectNext(mgr);
    EXPECT_EQ(mgr.Selected(), &a);
    SelectPrevious(mgr);
    EXPECT_EQ(mgr.Selected(), &c);
    GuiMgr empty;
    EXPECT_FALSE(SelectNext(empty));
}
