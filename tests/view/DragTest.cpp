#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "PlaceRect.h"
#include "view/GuiChainedPoints.h"
#include "view/GuiGroup.h"
#include "view/GuiMgr.h"
#include "view/GuiPoints.h"
#include "view/GuiRect.h"
#include "view/KeepInside.h"
#include "view/ViewTransform.h"

namespace {

// Angles that differ by whole turns are the same.
::testing::AssertionResult SameAngle(double a, double b) {
    const double d = std::remainder(a - b, 2 * std::numbers::pi);
    if (std::fabs(d) < 1e-9)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << a << " and " << b << " differ by " << d;
}

// A parent group of 100 x 100 whose top-left corner lies at (30, 40) of a manager zoomed by 2
// and shifted, so that every drag below goes through non-trivial transforms.
struct ParentScene {
    GuiMgr mgr;
    GuiGroup parent;
    ParentScene() {
        mgr.SetViewportSize(800, 600);
        mgr.SetZoom(2, false);
        mgr.SetOffset(-10, 5, false);
        Place(parent, 30, 40, 100, 100);
        mgr.Add(&parent);
        mgr.UpdateScene();
    }
    // The screen point of a point in the parent's frame.
    PointD Screen(double x, double y) { return ApplyTransform(parent.ChildLayer().Transform(), {x, y}); }
};

}  // namespace

TEST(Drag, MoveFollowsThePointerInTheObjectsLayer) {
    GuiMgr mgr;
    mgr.SetZoom(2, false);
    GuiRect r;
    r.SetFlags(kGuiVisible | kGuiMovable);
    r.SetPosition({50, 50});
    mgr.Add(&r);
    mgr.UpdateScene();
    // Grabbed 10 pixels right of its anchor (at screen 100, 100), dragged to (150, 120).
    const PointD grab{10, 0};
    for (int mode : {0, 1, 2})
        r.Drag({150, 120}, grab, mode, -1);
    EXPECT_EQ(r.GetPosition().x, 50);
    r.Drag({150, 120}, grab, kGuiDragMove, -1);
    EXPECT_NEAR(r.GetPosition().x, 70, 1e-12);
    EXPECT_NEAR(r.GetPosition().y, 60, 1e-12);
    // A rectangle that may not move stays.
    GuiRect fixed;
    mgr.Add(&fixed);
    fixed.Drag({150, 120}, grab, kGuiDragMove, -1);
    EXPECT_EQ(fixed.GetPosition().x, 0);
}

TEST(Drag, EdgeHandlesTurnAboutTheCentre) {
    GuiRect r;
    r.SetFlags(kGuiVisible | kGuiRotatable);
    r.SetAnchorKind(RotatedRect::kTopLeft);
    Place(r, -10, -5, 20, 10);  // centre (0, 0)
    // The right edge's midpoint turns towards a pointer straight below the centre.
    r.Drag({0, 10}, {}, kGuiDragHandle, 1);
    EXPECT_TRUE(SameAngle(r.GetAngle(), std::numbers::pi / 2));
    EXPECT_NEAR(r.Rect().Centre().x, 0, 1e-12);
    EXPECT_NEAR(r.Rect().Centre().y, 0, 1e-12);
    // The top edge towards a pointer on the right: a quarter turn as well.
    r.Drag({10, 0}, {}, kGuiDragHandle, 0);
    EXPECT_TRUE(SameAngle(r.GetAngle(), std::numbers::pi / 2));
    // Bottom edge towards the pointer on the left, left edge towards the pointer above.
    r.Drag({-10, 0}, {}, kGuiDragHandle, 2);
    EXPECT_TRUE(SameAngle(r.GetAngle(), std::numbers::pi / 2));
    r.Drag({0, -10}, {}, kGuiDragHandle, 3);
    EXPECT_TRUE(SameAngle(r.GetAngle(), std::numbers::pi / 2));
    r.Drag({10, 10}, {}, kGuiDragHandle, 1);
    EXPECT_TRUE(SameAngle(r.GetAngle(), std::numbers::pi / 4));
    EXPECT_NEAR(r.Rect().Centre().x, 0, 1e-12);
    // Corner handles do not turn, and a rectangle without the flag does not either.
    r.Drag({0, 10}, {}, kGuiDragHandle, 5);
    EXPECT_TRUE(SameAngle(r.GetAngle(), std::numbers::pi / 4));
    GuiRect still;
    still.Drag({0, 10}, {}, kGuiDragHandle, 1);
    EXPECT_EQ(still.GetAngle(), 0);
}

TEST(Drag, HandlesResizeAboutTheFixedCornerOrTheCentre) {
    GuiRect movable;
    movable.SetFlags(kGuiVisible | kGuiMovable | kGuiResizable);
    Place(movable, 0, 0, 20, 10);
    // Right edge: only the width changes, the left edge stays.
    movable.Drag({30, 7}, {}, kGuiDragHandle, 1);
    EXPECT_DOUBLE_EQ(movable.Width(), 30);
    EXPECT_DOUBLE_EQ(movable.Height(), 10);
    EXPECT_NEAR(movable.TopLeft().x, 0, 1e-12);
    EXPECT_NEAR(movable.TopLeft().y, 0, 1e-12);
    // Top edge: the height from the bottom edge, width kept.
    movable.Drag({5, -10}, {}, kGuiDragHandle, 0);
    EXPECT_DOUBLE_EQ(movable.Height(), 20);
    EXPECT_DOUBLE_EQ(movable.Width(), 30);
    EXPECT_NEAR(movable.TopLeft().y, -10, 1e-12);
    EXPECT_NEAR(movable.Rect().Corner(2).y, 10, 1e-12);
    // Bottom-right corner: both, top-left kept.
    movable.Drag({40, 25}, {}, kGuiDragHandle, 6);
    EXPECT_DOUBLE_EQ(movable.Width(), 40);
    EXPECT_DOUBLE_EQ(movable.Height(), 35);
    EXPECT_NEAR(movable.TopLeft().x, 0, 1e-12);
    EXPECT_NEAR(movable.TopLeft().y, -10, 1e-12);
    // Top-left corner pulled past the fixed bottom-right one: sizes stay positive.
    movable.Drag({50, 30}, {}, kGuiDragHandle, 4);
    EXPECT_DOUBLE_EQ(movable.Width(), 10);
    EXPECT_DOUBLE_EQ(movable.Height(), 5);

    // With an aspect ratio the pulled size decides the other.
    GuiRect kept;
    kept.SetFlags(kGuiVisible | kGuiMovable | kGuiResizable);
    Place(kept, 0, 0, 20, 10);
    kept.SetAspectRatio(2);
    kept.Drag({40, 25}, {}, kGuiDragHandle, 6);  // corner: width := 2 * height
    EXPECT_DOUBLE_EQ(kept.Height(), 25);
    EXPECT_DOUBLE_EQ(kept.Width(), 50);
    kept.Drag({30, 3}, {}, kGuiDragHandle, 1);  // right edge: height := width / 2
    EXPECT_DOUBLE_EQ(kept.Width(), 30);
    EXPECT_DOUBLE_EQ(kept.Height(), 15);
    kept.Drag({3, 40}, {}, kGuiDragHandle, 2);  // bottom edge from the top at 10: width := 2 * height
    EXPECT_DOUBLE_EQ(kept.Height(), 30);
    EXPECT_DOUBLE_EQ(kept.Width(), 60);

    // Not movable: the right edge grows symmetrically about the centre.
    GuiRect anchored;
    anchored.SetFlags(kGuiVisible | kGuiResizable);
    Place(anchored, 0, 0, 20, 10);
    anchored.Drag({30, 5}, {}, kGuiDragHandle, 1);
    EXPECT_DOUBLE_EQ(anchored.Width(), 30);
    EXPECT_NEAR(anchored.TopLeft().x, -5, 1e-12);
    EXPECT_NEAR(anchored.Rect().Corner(1).x, 25, 1e-12);
    // The width is measured from the edge opposite the handle (now at -5), about the centre.
    anchored.Drag({10, 5}, {}, kGuiDragHandle, 1);
    EXPECT_DOUBLE_EQ(anchored.Width(), 15);
    EXPECT_NEAR(anchored.TopLeft().x, 2.5, 1e-12);

    // On a turned rectangle the sizes are measured along its own axes.
    GuiRect turned;
    turned.SetFlags(kGuiVisible | kGuiMovable | kGuiResizable);
    turned.SetAnchorKind(RotatedRect::kTopLeft);
    turned.SetPosition({0, 0});
    turned.SetAngle(std::numbers::pi / 2);  // width runs down, height runs left
    turned.Drag({-8, 30}, {}, kGuiDragHandle, 6);
    EXPECT_NEAR(turned.Width(), 30, 1e-9);
    EXPECT_NEAR(turned.Height(), 8, 1e-9);
    EXPECT_NEAR(turned.TopLeft().x, 0, 1e-9);
}

TEST(KeepInside, MovedFramesArePushedBackByTheirOvershoot) {
    ParentScene s;
    GuiRect frame;
    frame.SetFlags(kGuiVisible | kGuiMovable | kGuiKeepInside);
    Place(frame, 40, 40, 20, 10);
    s.parent.AddChild(&frame);
    s.mgr.UpdateScene();
    // Dragged to span 90..110, it comes back to 80..100; to -10..10, back to 0..20.
    frame.Drag(s.Screen(100, 45), {}, kGuiDragMove, -1);
    EXPECT_NEAR(frame.TopLeft().x, 80, 1e-9);
    EXPECT_NEAR(frame.TopLeft().y, 40, 1e-9);
    frame.Drag(s.Screen(0, 45), {}, kGuiDragMove, -1);
    EXPECT_NEAR(frame.TopLeft().x, 0, 1e-9);
    // Beyond a corner both axes come back; inside nothing changes.
    frame.Drag(s.Screen(120, -30), {}, kGuiDragMove, -1);
    EXPECT_NEAR(frame.TopLeft().x, 80, 1e-9);
    EXPECT_NEAR(frame.TopLeft().y, 0, 1e-9);
    frame.Drag(s.Screen(50, 50), {}, kGuiDragMove, -1);
    EXPECT_NEAR(frame.TopLeft().x, 40, 1e-9);
    EXPECT_NEAR(frame.TopLeft().y, 45, 1e-9);
    // Without the flag the frame may leave.
    frame.SetFlags(kGuiVisible | kGuiMovable);
    frame.Drag(s.Screen(150, 50), {}, kGuiDragMove, -1);
    EXPECT_NEAR(frame.TopLeft().x, 140, 1e-9);
}

TEST(KeepInside, ResizedFramesShrinkBackInside) {
    ParentScene s;
    GuiRect frame;
    frame.SetFlags(kGuiVisible | kGuiMovable | kGuiResizable | kGuiKeepInside);
    Place(frame, 60, 40, 20, 10);
    s.parent.AddChild(&frame);
    s.mgr.UpdateScene();
    // The right edge pulled to 130 stops at the parent's edge; the left edge stays.
    frame.Drag(s.Screen(130, 45), {}, kGuiDragHandle, 1);
    EXPECT_NEAR(frame.TopLeft().x, 60, 1e-6);
    EXPECT_NEAR(frame.Width(), 40, 1e-6);
    EXPECT_NEAR(frame.Height(), 10, 1e-9);
    // The bottom-right corner beyond both edges.
    frame.Drag(s.Screen(170, 190), {}, kGuiDragHandle, 6);
    EXPECT_NEAR(frame.Rect().Corner(2).x, 100, 1e-6);
    EXPECT_NEAR(frame.Rect().Corner(2).y, 100, 1e-6);
    EXPECT_NEAR(frame.TopLeft().x, 60, 1e-6);

    // With an aspect ratio both sizes shrink by the same factor.
    GuiRect kept;
    kept.SetFlags(kGuiVisible | kGuiMovable | kGuiResizable | kGuiKeepInside);
    Place(kept, 60, 10, 20, 10);
    kept.SetAspectRatio(2);
    s.parent.AddChild(&kept);
    s.mgr.UpdateScene();
    kept.Drag(s.Screen(130, 15), {}, kGuiDragHandle, 1);
    EXPECT_NEAR(kept.Width(), 40, 1e-6);
    EXPECT_NEAR(kept.Height(), 20, 1e-6);
    EXPECT_NEAR(kept.TopLeft().x, 60, 1e-6);

    // A frame that may not move grows about its centre and is then held inside.
    GuiRect centred;
    centred.SetFlags(kGuiVisible | kGuiResizable | kGuiKeepInside);
    Place(centred, 60, 70, 20, 10);
    s.parent.AddChild(&centred);
    s.mgr.UpdateScene();
    centred.Drag(s.Screen(130, 75), {}, kGuiDragHandle, 1);
    const RotatedRect& r = centred.Rect();
    EXPECT_GE(r.Corner(0).x, -1e-6);
    EXPECT_LE(r.Corner(1).x, 100 + 1e-6);
    EXPECT_NEAR(r.Corner(1).x, 100, 1e-6);
    EXPECT_NEAR(centred.Width(), 60, 1e-6);
}

TEST(KeepInside, TurnsStopWhereTheFrameStillFits) {
    ParentScene s;
    s.parent.SetWidth(150);
    s.mgr.UpdateScene();
    GuiRect bar;
    bar.SetFlags(kGuiVisible | kGuiRotatable | kGuiKeepInside);
    Place(bar, 15, 45, 120, 10);  // centre (75, 50)
    s.parent.AddChild(&bar);
    s.mgr.UpdateScene();
    // A quarter turn would need 120 of the parent's 100 in height.
    bar.Drag(s.Screen(75, 150), {}, kGuiDragHandle, 1);
    const RotatedRect parentRect = MapRect(s.parent.Rect(), s.parent.SceneFromLayer());
    EXPECT_TRUE(LiesInside(MapRect(bar.Rect(), bar.SceneFromLayer()), parentRect));
    const double a = bar.GetAngle();
    EXPECT_GT(a, 0.5);
    EXPECT_LT(a, std::numbers::pi / 2);
    // The turn went as far as it could: the vertical extent is the parent's height.
    EXPECT_NEAR(120 * std::sin(a) + 10 * std::cos(a), 100, 1e-3);
    // A turn that fits is made in full.
    bar.Drag(s.Screen(150, 50), {}, kGuiDragHandle, 1);
    EXPECT_NEAR(bar.GetAngle(), 0, 1e-9);
}

TEST(KeepInside, GeometryOfTheClamp) {
    RotatedRect parent;
    parent.SetKind(RotatedRect::kTopLeft);
    parent.SetAnchor({0, 0});
    parent.SetWidth(100);
    parent.SetHeight(100);
    RotatedRect obj;
    obj.SetKind(RotatedRect::kTopLeft);
    obj.SetAnchor({90, 10});
    obj.SetWidth(20);
    const EnclosingRect b = EncloseAtParentAngle(obj, parent);
    EXPECT_NEAR(b.width, 110, 1e-12);
    EXPECT_NEAR(b.height, 100, 1e-12);
    EXPECT_NEAR(InsideMoveOffset(obj, parent).x, -10, 1e-12);
    EXPECT_NEAR(InsideMoveOffset(obj, parent).y, 0, 1e-12);
    // Turned by about a quarter counts as turned, by an eighth or a half turn not.
    EXPECT_TRUE(IsTurnedAgainst(std::numbers::pi / 2, 0));
    EXPECT_TRUE(IsTurnedAgainst(-std::numbers::pi / 2, 0));
    EXPECT_FALSE(IsTurnedAgainst(std::numbers::pi / 8, 0));
    EXPECT_FALSE(IsTurnedAgainst(std::numbers::pi, 0));
    // A quarter-turned object 20 wide and 120 high inside a 100 x 200 parent: its width runs
    // along the parent's height and fits; its height runs along the parent's width and is
    // shrunk to that width (the move clamp then brings its fixed corner back in).
    RotatedRect tall;
    tall.SetKind(RotatedRect::kTopLeft);
    tall.SetAnchor({0, 0});
    tall.SetWidth(100);
    tall.SetHeight(200);
    RotatedRect turned;
    turned.SetKind(RotatedRect::kTopLeft);
    turned.SetAnchor({110, 10});
    turned.SetAngle(std::numbers::pi / 2);
    turned.SetWidth(20);
    turned.SetHeight(120);  // runs from x = 110 to x = -10
    const FitFactors f = ResizeToFit(turned, tall, 0, false);
    EXPECT_NEAR(f.width, 1, 1e-9);
    EXPECT_NEAR(f.height * 120, 100, 1e-6);
}

TEST(PointSets, PressSelectsThePointUnderThePointerAndDragsEditOrMove) {
    ParentScene s;
    GuiPoints pts;
    pts.SetFlags(kGuiVisible | kGuiMovable | kGuiKeepInside);
    pts.SetPoints({{10, 10}, {30, 20}, {50, 60}});
    s.parent.AddChild(&pts);
    s.mgr.UpdateScene();
    // The press lands 2 screen pixels beside point 1.
    pts.Drag(s.Screen(30, 20) + PointD{2, 0}, {}, kGuiDragPressNew, -1);
    EXPECT_EQ(pts.SelectedPoint(), 1);
    pts.Drag({}, {}, kGuiDragDeselect, -1);
    EXPECT_EQ(pts.SelectedPoint(), GuiPoints::kNoPoint);
    pts.Drag(s.Screen(30, 20) + PointD{2, 0}, {}, kGuiDragPressSelected, -1);
    EXPECT_EQ(pts.SelectedPoint(), 1);

    // With point editing the selected point alone follows, held inside the parent.
    pts.SetPointEditing(true);
    pts.Drag(s.Screen(40, 25), {}, kGuiDragMove, -1);
    EXPECT_NEAR(pts.Point(1).x, 40, 1e-9);
    EXPECT_NEAR(pts.Point(1).y, 25, 1e-9);
    EXPECT_NEAR(pts.Point(0).x, 10, 1e-9);
    pts.Drag(s.Screen(120, 50), {}, kGuiDragMove, -1);
    EXPECT_NEAR(pts.Point(1).x, 100, 1e-9);
    EXPECT_NEAR(pts.Point(1).y, 50, 1e-9);
    pts.Drag(s.Screen(-5, -7), {}, kGuiDragMove, -1);
    EXPECT_NEAR(pts.Point(1).x, 0, 1e-9);
    EXPECT_NEAR(pts.Point(1).y, 0, 1e-9);

    // A press away from every point selects none: the set moves as a whole.
    pts.SetPoints({{10, 10}, {30, 20}});
    s.mgr.UpdateScene();
    pts.Drag(s.Screen(20, 40), {}, kGuiDragPressNew, -1);
    EXPECT_EQ(pts.SelectedPoint(), GuiPoints::kNoPoint);
    const PointD centre = pts.GetPosition();  // (20, 15)
    const PointD grab = s.Screen(20, 40) - s.Screen(centre.x, centre.y);
    pts.Drag(s.Screen(40, 60), grab, kGuiDragMove, -1);
    EXPECT_NEAR(pts.Point(0).x, 30, 1e-9);
    EXPECT_NEAR(pts.Point(0).y, 30, 1e-9);
    // Moved past the right edge, the set comes back by its overshoot.
    pts.Drag(s.Screen(120, 60), grab, kGuiDragMove, -1);
    EXPECT_NEAR(pts.Point(1).x, 100, 1e-9);
    EXPECT_NEAR(pts.Point(0).x, 80, 1e-9);
}

TEST(PointSets, DistanceBoundsAndEditing) {
    GuiPoints pts;
    EXPECT_TRUE(std::isinf(pts.Distance({0, 0})));
    pts.AddPoint({0, 0});
    pts.AddPoint({100, 0});
    pts.AddPoint({100, 50});
    EXPECT_NEAR(pts.Distance({3, 4}), 5, 1e-12);
    // A movable set also counts its bounding rectangle's outline.
    EXPECT_NEAR(pts.Distance({50, 3}), Length(PointD{50, 3}), 1e-12);
    pts.SetFlags(kGuiVisible | kGuiMovable);
    EXPECT_NEAR(pts.Distance({50, 3}), 3, 1e-12);
    EXPECT_TRUE(pts.Contains({50, 9}));
    EXPECT_FALSE(pts.Contains({50, 25}));
    EXPECT_NEAR(pts.GetPosition().x, 50, 1e-12);
    EXPECT_NEAR(pts.GetPosition().y, 25, 1e-12);
    pts.SetPosition({60, 25});
    EXPECT_NEAR(pts.Point(0).x, 10, 1e-12);
    pts.SetSelectedPoint(2);
    pts.RemovePoint(0);
    EXPECT_EQ(pts.SelectedPoint(), 1);
    EXPECT_EQ(pts.Count(), 2);
    EXPECT_FALSE(pts.SetPoint(5, {0, 0}));
    EXPECT_EQ(pts.MarkerHalfSize(), 2.0);
    EXPECT_EQ(pts.LineWidth(), 1.0);
    // Handles: edges for turning, corners as well for sizing.
    GuiHandles h;
    pts.ComputeHandles(h, 9, IdentityTransform());
    EXPECT_EQ(h.count, 0);
    pts.SetFlags(kGuiVisible | kGuiRotatable);
    pts.ComputeHandles(h, 9, IdentityTransform());
    EXPECT_EQ(h.count, 4);
    pts.SetFlags(kGuiVisible | kGuiResizable);
    pts.ComputeHandles(h, 9, IdentityTransform());
    EXPECT_EQ(h.count, 8);
    EXPECT_NEAR(h.rects[4].left, pts.Bounds().Corner(0).x - 4.5, 1e-12);
}

TEST(ChainedPoints, LinksAreMutualAndDestructionUnlinks) {
    auto* a = new GuiChainedPoints;
    auto* b = new GuiChainedPoints;
    GuiChainedPoints c;
    a->LinkTo(b);
    EXPECT_EQ(a->Next(), b);
    EXPECT_EQ(b->Previous(), a);
    EXPECT_EQ(a->Previous(), nullptr);
    // Relinking drops the former partner.
    a->LinkTo(&c);
    EXPECT_EQ(b->Previous(), nullptr);
    EXPECT_EQ(c.Previous(), a);
    c.LinkTo(b);
    EXPECT_EQ(b->Previous(), &c);
    // A clone is not linked.
    std::unique_ptr<GuiObj> clone(c.Clone());
    EXPECT_EQ(static_cast<GuiChainedPoints*>(clone.get())->Next(), nullptr);
    EXPECT_EQ(b->Previous(), &c);
    delete b;
    EXPECT_EQ(c.Next(), nullptr);
    delete a;
    EXPECT_EQ(c.Previous(), nullptr);
}
