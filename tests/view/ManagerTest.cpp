#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "PlaceRect.h"
#include "view/GuiGroup.h"
#include "view/GuiMgr.h"
#include "view/GuiRect.h"

namespace {

// Records the notifications of the manager: (object, code) in order.
struct Recorder {
    std::vector<std::pair<GuiObj*, int>> seen;
    void Attach(GuiMgr& mgr) {
        mgr.SetObjectCallback([this](GuiObj* obj, int code) { seen.emplace_back(obj, code); });
    }
    std::vector<int> Codes() const {
        std::vector<int> codes;
        for (const auto& s : seen)
            codes.push_back(s.second);
        return codes;
    }
    bool Has(int code) const {
        for (const auto& s : seen)
            if (s.second == code)
                return true;
        return false;
    }
};

}  // namespace

TEST(Manager, ViewTransformMapsBothWays) {
    GuiMgr mgr;
    EXPECT_EQ(mgr.ViewportWidth(), 2048);
    EXPECT_EQ(mgr.GetZoom(), 1.0);
    mgr.SetZoom(2, false);
    mgr.SetOffset(10, -5, false);
    const PointD s = mgr.SceneToScreen({5, 5});
    EXPECT_DOUBLE_EQ(s.x, 30);
    EXPECT_DOUBLE_EQ(s.y, 0);
    const PointD back = mgr.ScreenToScene(s);
    EXPECT_DOUBLE_EQ(back.x, 5);
    EXPECT_DOUBLE_EQ(back.y, 5);
    // A layer that does not follow the zoom is only shifted.
    GuiLayer& overlay = mgr.AddLayer(false);
    GuiRect mark;
    overlay.Add(&mark);
    mgr.UpdateScene();
    EXPECT_DOUBLE_EQ(mark.ToScreen({5, 5}).x, 15);
    EXPECT_EQ(mark.Manager(), &mgr);
}

TEST(Manager, HitToleranceIsTenPixelsAtEveryZoom) {
    GuiMgr mgr;
    GuiRect frame;
    Place(frame, 0, 0, 100, 100);
    mgr.Add(&frame);
    // Outline at x = 100: 9 pixels away hits, 11 do not; deep inside does not either.
    EXPECT_EQ(mgr.HitTest(109, 50), &frame);
    EXPECT_EQ(mgr.HitTest(111, 50), nullptr);
    EXPECT_EQ(mgr.HitTest(50, 50), nullptr);
    // At zoom 2 the outline is at screen 200 and the tolerance 5 scene units.
    mgr.SetZoom(2, false);
    EXPECT_EQ(mgr.HitTest(209, 100), &frame);
    EXPECT_EQ(mgr.HitTest(211, 100), nullptr);
    EXPECT_EQ(mgr.HitTest(191, 100), &frame);
    // At zoom 0.5 ten pixels are 20 units.
    mgr.SetZoom(0.5, false);
    EXPECT_EQ(mgr.HitTest(59, 25), &frame);  // scene 118
    EXPECT_EQ(mgr.HitTest(61, 25), nullptr);
}

TEST(Manager, HitPriorityTiesAndChildren) {
    GuiMgr mgr;
    GuiRect first, second;
    Place(first, 0, 0, 100, 100);
    Place(second, 0, 0, 100, 100);
    mgr.Add(&first);
    mgr.Add(&second);
    // Without priority the last object within the tolerance wins.
    EXPECT_EQ(mgr.HitTest(100, 50), &second);
    // Priority objects first: the nearest, a later one winning a tie.
    first.SetPriority(true);
    EXPECT_EQ(mgr.HitTest(103, 50), &first);
    second.SetPriority(true);
    EXPECT_EQ(mgr.HitTest(103, 50), &second);
    Place(second, 0, 0, 96, 100);  // its outline now 7 away, first's 3
    EXPECT_EQ(mgr.HitTest(103, 50), &first);
    // A priority object beats a nearer ordinary one.
    GuiRect plain;
    Place(plain, 0, 0, 103, 100);
    mgr.Add(&plain);
    EXPECT_EQ(mgr.HitTest(103, 50), &first);
    // Hidden objects are never hit.
    first.SetFlags(0);
    second.SetFlags(0);
    EXPECT_EQ(mgr.HitTest(103, 50), &plain);

    // The children of the object found may take the press: the last within the tolerance.
    GuiMgr other;
    GuiGroup photo;
    Place(photo, 0, 0, 200, 100);
    photo.SetPriority(true);
    other.Add(&photo);
    GuiRect a, b;
    Place(a, 10, 10, 20, 20);
    Place(b, 12, 10, 20, 20);
    photo.AddChild(&a);
    photo.AddChild(&b);
    EXPECT_EQ(other.HitTest(100, 50), &photo);
    EXPECT_EQ(other.HitTest(20, 10), &b);
    EXPECT_EQ(other.CurrentLayer(), &photo.ChildLayer());
    b.SetFlags(0);
    EXPECT_EQ(other.HitTest(20, 10), &a);
}

TEST(Manager, LeftPressSelectsNotifiesAndDeselects) {
    GuiMgr mgr;
    Recorder rec;
    rec.Attach(mgr);
    GuiGroup a, b;
    Place(a, 0, 0, 100, 100);
    Place(b, 200, 0, 100, 100);
    a.SetFlags(kGuiVisible | kGuiMovable);
    mgr.Add(&a);
    mgr.Add(&b);
    std::vector<int> own;
    a.SetNotification([&own](GuiObj*, int code) { own.push_back(code); }, kGuiSelected | kGuiDeselected);
    int repaints = 0;
    mgr.SetRepaintCallback([&repaints] { ++repaints; });

    mgr.LeftPress(50, 50);
    EXPECT_EQ(mgr.Selected(), &a);
    EXPECT_TRUE(mgr.IsDragging());
    EXPECT_EQ(rec.Codes(), (std::vector<int>{kGuiSelected, kGuiBeforeDrag, kGuiAfterDrag}));
    EXPECT_EQ(own, std::vector<int>{kGuiSelected});
    EXPECT_GT(repaints, 0);
    mgr.LeftRelease(50, 50);
    EXPECT_FALSE(mgr.IsDragging());

    // Pressing the selected object again: no selection or deselection.
    rec.seen.clear();
    mgr.LeftPress(60, 60);
    EXPECT_EQ(rec.Codes(), (std::vector<int>{kGuiBeforeDrag, kGuiPressedAgain, kGuiAfterDrag}));
    mgr.LeftRelease(60, 60);

    // Another object: the first is deselected before the second is selected.
    rec.seen.clear();
    mgr.LeftPress(250, 50);
    EXPECT_EQ(mgr.Selected(), &b);
    ASSERT_EQ(rec.seen.size(), 6u);
    EXPECT_EQ(rec.seen[0], std::make_pair(static_cast<GuiObj*>(&a), int(kGuiDeselected)));
    EXPECT_EQ(rec.seen[3], std::make_pair(static_cast<GuiObj*>(&b), int(kGuiSelected)));

    // Empty space deselects.
    rec.seen.clear();
    mgr.LeftPress(500, 500);
    EXPECT_EQ(mgr.Selected(), nullptr);
    EXPECT_FALSE(mgr.IsDragging());
    EXPECT_EQ(rec.Codes(), (std::vector<int>{kGuiDeselected, kGuiBeforeDrag, kGuiAfterDrag}));
    // ... and again with nothing selected: nothing to tell.
    rec.seen.clear();
    mgr.LeftPress(500, 500);
    EXPECT_TRUE(rec.seen.empty());

    // The manager's mask filters what it passes on; the object's own mask filters its own.
    mgr.SetNotificationMask(kGuiSelected);
    mgr.LeftPress(50, 50);
    EXPECT_EQ(rec.Codes(), std::vector<int>{kGuiSelected});
}

TEST(Manager, DragMovesBySceneUnitsAndReleaseStops) {
    GuiMgr mgr;
    mgr.SetZoom(2, false);
    GuiGroup photo;
    Place(photo, 10, 20, 100, 50);
    photo.SetFlags(kGuiVisible | kGuiMovable);
    mgr.Add(&photo);
    mgr.LeftPress(60, 80);  // scene (30, 40), inside
    mgr.LeftDrag(100, 100);
    EXPECT_NEAR(photo.TopLeft().x, 30, 1e-9);
    EXPECT_NEAR(photo.TopLeft().y, 30, 1e-9);
    mgr.LeftRelease(100, 100);
    mgr.LeftDrag(200, 200);
    EXPECT_NEAR(photo.TopLeft().x, 30, 1e-9);
    // A press inside the selected object but beside its outline keeps it ready to drag.
    Recorder rec;
    rec.Attach(mgr);
    GuiRect frame;
    Place(frame, 300, 0, 100, 100);
    frame.SetFlags(kGuiVisible | kGuiMovable);
    mgr.Add(&frame);
    mgr.Select(&frame);
    rec.seen.clear();
    mgr.LeftPress(700, 100);  // scene (350, 50): inside, far from the outline
    EXPECT_EQ(mgr.Selected(), &frame);
    EXPECT_TRUE(rec.seen.empty());
    mgr.LeftDrag(720, 100);
    EXPECT_NEAR(frame.TopLeft().x, 310, 1e-9);
}

TEST(Manager, ASelectedFrameOnAPictureKeepsPressesInsideIt) {
    GuiMgr mgr;
    Recorder rec;
    rec.Attach(mgr);
    GuiGroup photo;
    Place(photo, 0, 0, 400, 300);
    photo.SetFlags(kGuiVisible | kGuiMovable);
    mgr.Add(&photo);
    GuiRect crop;
    Place(crop, 50, 50, 200, 100);
    crop.SetFlags(kGuiVisible | kGuiMovable | kGuiResizable | kGuiKeepInside);
    photo.AddChild(&crop);
    // Deep inside the frame the press finds the picture (the frame is hit by its outline).
    mgr.LeftPress(150, 100);
    EXPECT_EQ(mgr.Selected(), &photo);
    mgr.LeftRelease(150, 100);
    mgr.LeftPress(52, 100);
    EXPECT_EQ(mgr.Selected(), &crop);
    mgr.LeftRelease(52, 100);
    // Once selected, the frame keeps presses inside it and is dragged, not the picture.
    rec.seen.clear();
    mgr.LeftPress(150, 100);
    EXPECT_EQ(mgr.Selected(), &crop);
    EXPECT_EQ(rec.Codes(), (std::vector<int>{kGuiBeforeDrag, kGuiPressedAgain, kGuiAfterDrag}));
    mgr.LeftDrag(400, 100);
    EXPECT_NEAR(crop.Rect().Corner(1).x, 400, 1e-9);  // pushed back inside the picture
    EXPECT_NEAR(photo.TopLeft().x, 0, 1e-9);
    mgr.LeftRelease(400, 100);
    // Outside the frame the picture is selected again.
    mgr.LeftPress(380, 280);
    EXPECT_EQ(mgr.Selected(), &photo);
}

TEST(Manager, HandlesAreGrabbedBeforeTheObject) {
    GuiMgr mgr;
    GuiRect frame;
    Place(frame, 100, 100, 100, 50);
    frame.SetFlags(kGuiVisible | kGuiMovable | kGuiResizable);
    mgr.Add(&frame);
    mgr.LeftPress(150, 100);  // on the top edge: selected, top handle grabbed
    EXPECT_EQ(mgr.Selected(), &frame);
    EXPECT_EQ(mgr.GrabbedHandle(), 0);
    EXPECT_EQ(mgr.Handles().count, 8);
    mgr.LeftDrag(150, 80);
    EXPECT_NEAR(frame.Height(), 70, 1e-9);
    EXPECT_NEAR(frame.TopLeft().y, 80, 1e-9);
    mgr.LeftRelease(150, 80);
    mgr.LeftPress(203, 153);  // bottom-right corner handle
    EXPECT_EQ(mgr.GrabbedHandle(), 6);
    mgr.LeftDrag(250, 160);
    EXPECT_NEAR(frame.Width(), 150, 1e-9);
}

TEST(Manager, RightButtonNotifiesAndPans) {
    GuiMgr mgr;
    Recorder rec;
    rec.Attach(mgr);
    GuiGroup photo;
    Place(photo, 0, 0, 100, 100);
    mgr.Add(&photo);
    mgr.RightPress(50, 50);
    mgr.RightRelease(400, 400);
    EXPECT_EQ(rec.seen,
              (std::vector<std::pair<GuiObj*, int>>{{&photo, kGuiRightPressed}, {&photo, kGuiRightReleased}}));
    rec.seen.clear();
    mgr.RightPress(500, 500);
    mgr.RightRelease(500, 500);
    EXPECT_TRUE(rec.seen.empty());

    // Ten pixels at zoom 2 are 5 units; 20 with Shift alone, 2.5 with Ctrl alone, 5 with both.
    std::vector<PointD> offsets;
    mgr.SetOffsetChangedCallback([&offsets](double x, double y) { offsets.push_back({x, y}); });
    mgr.SetZoom(2, false);
    mgr.Pan(10, 0, kGuiNoModifier);
    EXPECT_DOUBLE_EQ(mgr.GetOffset().x, 5);
    mgr.Pan(10, 0, kGuiShift);
    EXPECT_DOUBLE_EQ(mgr.GetOffset().x, 25);
    mgr.Pan(0, 10, kGuiCtrl);
    EXPECT_DOUBLE_EQ(mgr.GetOffset().y, 2.5);
    mgr.Pan(-10, 0, kGuiShift | kGuiCtrl);
    EXPECT_DOUBLE_EQ(mgr.GetOffset().x, 20);
    EXPECT_EQ(offsets.size(), 4u);
}

TEST(Manager, WheelZoomsAboutThePointerWithinLimits) {
    GuiMgr mgr;
    std::vector<double> zooms;
    mgr.SetZoomChangedCallback([&zooms](double z) { zooms.push_back(z); });
    mgr.SetOffset(-30, 12, false);
    const PointD pointer{200, 100};
    const PointD under = mgr.ScreenToScene(pointer);
    mgr.Wheel(pointer.x, pointer.y, 120, kGuiNoModifier);
    EXPECT_DOUBLE_EQ(mgr.GetZoom(), 1.15);
    EXPECT_NEAR(mgr.ScreenToScene(pointer).x, under.x, 1e-9);
    EXPECT_NEAR(mgr.ScreenToScene(pointer).y, under.y, 1e-9);
    ASSERT_EQ(zooms.size(), 1u);
    EXPECT_DOUBLE_EQ(zooms[0], 1.15);
    mgr.Wheel(pointer.x, pointer.y, -120, kGuiNoModifier);
    EXPECT_NEAR(mgr.GetZoom(), 1.15 * 0.85, 1e-12);
    EXPECT_NEAR(mgr.ScreenToScene(pointer).x, under.x, 1e-9);
    // Shift alone doubles the step, Ctrl alone takes a tenth.
    mgr.SetZoom(1, false);
    mgr.Wheel(0, 0, 120, kGuiShift);
    EXPECT_DOUBLE_EQ(mgr.GetZoom(), 1.3);
    mgr.SetZoom(1, false);
    mgr.Wheel(0, 0, 120, kGuiCtrl);
    EXPECT_DOUBLE_EQ(mgr.GetZoom(), 1.015);
    // The zoom never leaves [0.001, 1000], and the pointer's scene point still holds.
    for (int i = 0; i < 200; ++i)
        mgr.Wheel(pointer.x, pointer.y, 120, kGuiShift);
    EXPECT_EQ(mgr.GetZoom(), 1000);
    const PointD deep = mgr.ScreenToScene(pointer);
    mgr.Wheel(pointer.x, pointer.y, 120, kGuiNoModifier);
    EXPECT_EQ(mgr.GetZoom(), 1000);
    EXPECT_NEAR(mgr.ScreenToScene(pointer).x, deep.x, 1e-9);
    // A huge turn down would make the factor negative: it stops at the lower limit.
    mgr.Wheel(pointer.x, pointer.y, -2000, kGuiNoModifier);
    EXPECT_EQ(mgr.GetZoom(), 0.001);
    for (int i = 0; i < 50; ++i)
        mgr.Wheel(pointer.x, pointer.y, -120, kGuiNoModifier);
    EXPECT_EQ(mgr.GetZoom(), 0.001);
    EXPECT_TRUE(std::isfinite(mgr.GetOffset().x));
    mgr.SetZoom(0, true);
    EXPECT_EQ(mgr.GetZoom(), 0.001);
}

TEST(Manager, KeysScrollZoomAndFit) {
    GuiMgr mgr;
    mgr.SetViewportSize(1000, 800);
    mgr.SetZoom(2, false);
    EXPECT_TRUE(mgr.Key(GuiKey::Left));
    EXPECT_DOUBLE_EQ(mgr.GetOffset().x, -50);
    mgr.Key(GuiKey::Right);
    mgr.Key(GuiKey::Right);
    EXPECT_DOUBLE_EQ(mgr.GetOffset().x, 50);
    mgr.Key(GuiKey::Down);
    EXPECT_DOUBLE_EQ(mgr.GetOffset().y, 40);
    mgr.Key(GuiKey::Up);
    EXPECT_DOUBLE_EQ(mgr.GetOffset().y, 0);
    mgr.SetZoom(3, false);
    mgr.Key(GuiKey::Left);  // trunc(100 / 3) = 33
    EXPECT_DOUBLE_EQ(mgr.GetOffset().x, 17);
    mgr.Key(GuiKey::ZoomIn);
    EXPECT_DOUBLE_EQ(mgr.GetZoom(), 3 * 1.1);
    mgr.Key(GuiKey::ZoomOut);
    EXPECT_DOUBLE_EQ(mgr.GetZoom(), 3 * 1.1 * 0.909);

    GuiRect wide;
    Place(wide, 10.4, -20, 400, 100);
    mgr.Add(&wide);
    mgr.Key(GuiKey::ZoomAll);
    // Wider than the view's shape: the width decides.
    EXPECT_DOUBLE_EQ(mgr.GetZoom(), 999 / 401.5);
    EXPECT_DOUBLE_EQ(mgr.GetOffset().x, -9);  // trunc(-10.4 + 0.5)
    EXPECT_DOUBLE_EQ(mgr.GetOffset().y, 20);  // trunc(20.5)
    Place(wide, 0, 0, 100, 400);
    mgr.ZoomToFitAll();
    EXPECT_DOUBLE_EQ(mgr.GetZoom(), 799 / 401.5);
    // A view of one pixel, or an empty scene, leaves the zoom alone.
    mgr.SetViewportSize(1, 800);
    mgr.ZoomToFitAll();
    EXPECT_DOUBLE_EQ(mgr.GetZoom(), 799 / 401.5);
    GuiMgr empty;
    empty.SetViewportSize(100, 100);
    empty.ZoomToFitAll();
    EXPECT_EQ(empty.GetZoom(), 1.0);
}

TEST(Manager, RepaintIsNeededOnlyAfterChanges) {
    GuiMgr mgr;
    GuiRect r;
    mgr.Add(&r);
    EXPECT_TRUE(mgr.NeedsRepaint());
    // What a paint would clear:
    for (int i = 0; i < mgr.LayerCount(); ++i)
        mgr.Layer(i).SetDirty(false);
    r.ClearDirty();
    EXPECT_FALSE(mgr.NeedsRepaint());
    r.SetPosition({3, 3});
    EXPECT_TRUE(mgr.NeedsRepaint());
    r.ClearDirty();
    // Hiding marks the layer; a hidden object's own changes wait for nothing.
    r.SetFlags(0);
    EXPECT_TRUE(mgr.NeedsRepaint());
    mgr.Layer(0).SetDirty(false);
    r.SetPosition({4, 4});
    EXPECT_FALSE(mgr.NeedsRepaint());
    // A change inside a group's child layer reaches the manager through the group.
    GuiGroup g;
    GuiRect child;
    mgr.Add(&g);
    g.AddChild(&child);
    mgr.Layer(0).SetDirty(false);
    g.ClearDirty();
    child.ClearDirty();
    EXPECT_FALSE(mgr.NeedsRepaint());
    child.RemoveFromScene();
    EXPECT_TRUE(mgr.NeedsRepaint());
    // The selected object keeps the view painting (its outline crawls).
    g.ClearDirty();
    mgr.Layer(0).SetDirty(false);
    mgr.Select(&g);
    g.ClearDirty();
    EXPECT_TRUE(mgr.NeedsRepaint());
}
