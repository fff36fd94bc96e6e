#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "view/GuiBitmap.h"
#include "view/GuiGroup.h"
#include "view/GuiMgr.h"
#include "view/GuiRect.h"
#include "view/RotatedRect.h"
#include "view/ViewTransform.h"

namespace {

void ExpectPoint(const PointD& p, double x, double y, const char* what) {
    EXPECT_NEAR(p.x, x, 1e-9) << what;
    EXPECT_NEAR(p.y, y, 1e-9) << what;
}

}  // namespace

TEST(RotatedRect, DefaultRectangleAndQuarterTurn) {
    RotatedRect r;
    EXPECT_EQ(r.Kind(), RotatedRect::kCentre);
    EXPECT_EQ(r.Width(), 10);
    EXPECT_EQ(r.Height(), 10);
    ExpectPoint(r.Corner(0), -5, -5, "top-left");
    ExpectPoint(r.Corner(1), 5, -5, "top-right");
    ExpectPoint(r.Corner(2), 5, 5, "bottom-right");
    ExpectPoint(r.Corner(3), -5, 5, "bottom-left");
    // A positive angle turns clockwise on screen: the top-left corner goes to the top-right.
    r.SetAngle(std::numbers::pi / 2);
    ExpectPoint(r.Corner(0), 5, -5, "turned top-left");
    ExpectPoint(r.Corner(1), 5, 5, "turned top-right");
    ExpectPoint(r.Centre(), 0, 0, "centre");
}

TEST(RotatedRect, EveryAnchorKindAtSeveralAngles) {
    const double w = 30, h = 40;
    for (int kind = 0; kind <= 4; ++kind) {
        for (double a : {0.0, 0.3, std::numbers::pi / 2, -2.0, std::numbers::pi}) {
            RotatedRect r;
            r.SetKind(kind);
            r.SetAnchor({10, 20});
            r.SetWidth(w);
            r.SetHeight(h);
            r.SetAngle(a);
            const std::string what = "kind " + std::to_string(kind) + " angle " + std::to_string(a);
            // The anchor is the point of its kind, and the rectangle turns about it.
            const PointD anchorPoint = kind == 4 ? r.Centre() : r.Corner(kind);
            ExpectPoint(anchorPoint, 10, 20, what.c_str());
            const PointD u{std::cos(a), std::sin(a)}, v{-std::sin(a), std::cos(a)};
            ExpectPoint(r.Corner(1) - r.Corner(0), w * u.x, w * u.y, what.c_str());
            ExpectPoint(r.Corner(3) - r.Corner(0), h * v.x, h * v.y, what.c_str());
            ExpectPoint(r.Corner(2) - r.Corner(0), w * u.x + h * v.x, w * u.y + h * v.y, what.c_str());
            ExpectPoint(r.Centre(), (r.Corner(0).x + r.Corner(2).x) / 2, (r.Corner(0).y + r.Corner(2).y) / 2,
                        what.c_str());
        }
    }
    // At angle 0 the top-left corner follows directly from the kind.
    const PointD expectedTopLeft[5] = {{10, 20}, {-20, 20}, {-20, -20}, {10, -20}, {-5, 0}};
    for (int kind = 0; kind <= 4; ++kind) {
        RotatedRect r;
        r.SetKind(kind);
        r.SetAnchor({10, 20});
        r.SetWidth(w);
        r.SetHeight(h);
        ExpectPoint(r.Corner(0), expectedTopLeft[kind].x, expectedTopLeft[kind].y, "top-left by kind");
    }
}

TEST(RotatedRect, KindChangeKeepsPlaceAndCornersFollowLazily) {
    RotatedRect r;
    r.SetAnchor({50, 50});
    r.SetAngle(0.4);
    const auto before = r.Corners();
    r.SetKind(RotatedRect::kBottomLeft);
    ExpectPoint(r.Anchor(), before[3].x, before[3].y, "new anchor");
    for (int i = 0; i < 4; ++i)
        ExpectPoint(r.Corner(i), before[i].x, before[i].y, "unchanged corner");
    // Corners are recomputed after a change made after they were read.
    r.MoveBy(5, -1);
    ExpectPoint(r.Corner(0), before[0].x + 5, before[0].y - 1, "moved corner");
}

TEST(RotatedRect, InsideTestAndOutlineDistance) {
    RotatedRect r;
    r.SetKind(RotatedRect::kTopLeft);
    r.SetAnchor({0, 0});
    r.SetWidth(100);
    r.SetHeight(50);
    EXPECT_TRUE(r.Contains({50, 25}));
    EXPECT_TRUE(r.Contains({0, 0}));
    EXPECT_FALSE(r.Contains({101, 25}));
    EXPECT_FALSE(r.Contains({50, -0.5}));
    // Deep inside a large rectangle the distance is to the nearest edge, not 0.
    EXPECT_NEAR(r.OutlineDistance({50, 25}), 25, 1e-12);
    EXPECT_NEAR(r.OutlineDistance({3, 25}), 3, 1e-12);
    EXPECT_NEAR(r.OutlineDistance({-3, 10}), 3, 1e-12);
    EXPECT_NEAR(r.OutlineDistance({103, 54}), 5, 1e-12);  // beyond a corner
    // Turned a quarter about its top-left corner it covers x in [-50, 0], y in [0, 100].
    r.SetAngle(std::numbers::pi / 2);
    EXPECT_TRUE(r.Contains({-25, 50}));
    EXPECT_FALSE(r.Contains({25, 50}));
    EXPECT_NEAR(r.OutlineDistance({-25, 50}), 25, 1e-9);
    EXPECT_NEAR(r.OutlineDistance({10, 50}), 10, 1e-9);
    const RectD box = r.BoundingBox();
    EXPECT_NEAR(box.left, -50, 1e-9);
    EXPECT_NEAR(box.Bottom(), 100, 1e-9);
}

TEST(GuiRect, AspectRuleAndDirtyFlag) {
    GuiRect r;
    r.SetAspectRatio(2);
    // A new positive ratio re-applies the current width of 10.
    EXPECT_DOUBLE_EQ(r.Height(), 5);
    r.SetWidth(40);
    EXPECT_DOUBLE_EQ(r.Height(), 20);
    r.SetHeight(10);
    EXPECT_DOUBLE_EQ(r.Width(), 20);
    r.SetAspectRatio(4);
    EXPECT_DOUBLE_EQ(r.Width(), 20);
    EXPECT_DOUBLE_EQ(r.Height(), 5);
    // Free sizes.
    r.SetAspectRatio(0);
    r.SetWidth(30);
    EXPECT_DOUBLE_EQ(r.Height(), 5);
    r.SetHeight(7);
    EXPECT_DOUBLE_EQ(r.Width(), 30);

    // A setter that changes nothing leaves the object clean.
    r.ClearDirty();
    r.SetWidth(30);
    r.SetHeight(7);
    r.SetAspectRatio(0);
    r.SetPosition(r.GetPosition());
    r.SetAngle(r.GetAngle());
    EXPECT_FALSE(r.IsDirty());
    r.SetPosition({1, 2});
    EXPECT_TRUE(r.IsDirty());

    // Scale goes through the setters: with a ratio, the height decides last.
    GuiRect s;
    s.SetWidth(20);
    s.SetHeight(10);
    s.Scale(2, 3);
    EXPECT_DOUBLE_EQ(s.Width(), 40);
    EXPECT_DOUBLE_EQ(s.Height(), 30);
}

TEST(GuiRect, CloneCopiesFieldsButNotThePlaceInTheScene) {
    GuiMgr mgr;
    GuiRect r;
    r.SetName("frame");
    r.SetColor(0, 1, 0, 0.5f);
    r.SetFlags(kGuiVisible | kGuiMovable);
    r.SetAspectRatio(2);
    r.SetPosition({7, 8});
    mgr.Add(&r);
    std::unique_ptr<GuiObj> copy(r.Clone());
    auto* c = dynamic_cast<GuiRect*>(copy.get());
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->Name(), "frame");
    EXPECT_EQ(c->Color().g, 1.0f);
    EXPECT_EQ(c->Flags(), r.Flags());
    EXPECT_EQ(c->AspectRatio(), 2);
    EXPECT_EQ(c->GetPosition().x, 7);
    EXPECT_EQ(c->Layer(), nullptr);
    EXPECT_EQ(c->ManagerId(), 0);
    EXPECT_EQ(r.ManagerId(), mgr.Id());
    EXPECT_EQ(GuiMgr::Find(mgr.Id()), &mgr);
}

TEST(GuiGroup, ChildLayerFollowsPositionScaleAndAngle) {
    GuiMgr mgr;
    mgr.SetZoom(2, false);
    mgr.SetOffset(5, 0, false);
    GuiGroup g;
    g.SetAnchorKind(RotatedRect::kTopLeft);
    g.SetPosition({100, 50});
    g.SetWidth(200);
    g.SetHeight(100);
    mgr.Add(&g);
    GuiRect child;
    child.SetAnchorKind(RotatedRect::kTopLeft);
    child.SetPosition({10, 20});
    g.AddChild(&child);
    EXPECT_EQ(child.OwnerGroup(), &g);
    EXPECT_EQ(child.ManagerId(), mgr.Id());
    mgr.UpdateScene();
    // Child (10, 20) -> scene (110, 70) -> screen 2 * (110 + 5, 70).
    ExpectPoint(child.ToScreen({10, 20}), 230, 140, "child on screen");
    ExpectPoint(ApplyTransform(child.SceneFromLayer(), {10, 20}), 110, 70, "child in the scene");

    // Turning the group turns its frame about the top-left corner.
    g.SetAngle(std::numbers::pi / 2);
    ExpectPoint(ApplyTransform(child.SceneFromLayer(), {10, 20}), 100 - 20, 50 + 10, "turned child");
    g.SetAngle(0);

    // Scaled content: the children grow with the factor.
    g.SetScaledSize(400, 200, 0.5);
    EXPECT_DOUBLE_EQ(g.Width(), 200);
    EXPECT_DOUBLE_EQ(g.Height(), 100);
    EXPECT_DOUBLE_EQ(g.AspectRatio(), 2);
    ExpectPoint(ApplyTransform(child.SceneFromLayer(), {10, 20}), 105, 60, "half scale");
    g.Scale(2, 2);
    EXPECT_DOUBLE_EQ(g.ScaleFactor(), 1);
    ExpectPoint(ApplyTransform(child.SceneFromLayer(), {10, 20}), 110, 70, "full scale");
    g.ResetScaledSize();
    EXPECT_DOUBLE_EQ(g.Width(), 200);
    EXPECT_DOUBLE_EQ(g.Height(), 100);
    EXPECT_DOUBLE_EQ(g.AspectRatio(), 0);
    EXPECT_FALSE(g.ScaledContent());

    // Without scaled content the children's positions and sizes are scaled instead.
    child.SetWidth(10);
    child.SetHeight(10);
    g.Scale(2, 3);
    ExpectPoint(child.GetPosition(), 20, 60, "scaled child position");
    EXPECT_DOUBLE_EQ(child.Width(), 20);
    EXPECT_DOUBLE_EQ(child.Height(), 30);
    // Same size again: nothing happens.
    child.ClearDirty();
    g.Scale(1, 1);
    EXPECT_FALSE(child.IsDirty());
}

TEST(GuiGroup, GroupDistanceCoversItsInsideAndItsChildren) {
    GuiGroup g;
    g.SetAnchorKind(RotatedRect::kTopLeft);
    g.SetPosition({0, 0});
    g.SetWidth(100);
    g.SetHeight(100);
    EXPECT_EQ(g.Distance({50, 50}), 0);
    EXPECT_NEAR(g.Distance({110, 50}), 10, 1e-12);
    GuiRect outside;
    outside.SetAnchorKind(RotatedRect::kTopLeft);
    outside.SetPosition({120, 0});
    g.AddChild(&outside);
    g.Update();
    EXPECT_NEAR(g.Distance({119, 5}), 1, 1e-12);
    EXPECT_NEAR(g.Distance({119, 50}), 19, 1e-12);
    const RectD box = g.BoundingRect(0);
    EXPECT_NEAR(box.Right(), 130, 1e-12);
    // An empty image gives a group with free sizes instead of a division by zero.
    GuiBitmap empty;
    empty.SizeToImage();
    EXPECT_EQ(empty.AspectRatio(), 0);
    EXPECT_EQ(empty.Width(), 0);
}

TEST(GuiObj, DestroyedObjectsLeaveLayerAndSelection) {
    GuiMgr mgr;
    auto* a = new GuiRect;
    GuiRect b;
    mgr.Add(a);
    mgr.Add(&b);
    mgr.Select(a);
    EXPECT_EQ(mgr.Selected(), a);
    delete a;
    EXPECT_EQ(mgr.Selected(), nullptr);
    ASSERT_EQ(mgr.Layer(0).Objects().size(), 1u);
    EXPECT_EQ(mgr.Layer(0).Objects()[0], &b);

    // A group that dies takes its selected child out of the selection as well.
    auto* g = new GuiGroup;
    GuiRect child;
    mgr.Add(g);
    g->AddChild(&child);
    mgr.Select(&child);
    EXPECT_EQ(mgr.Selected(), &child);
    delete g;
    EXPECT_EQ(mgr.Selected(), nullptr);
    EXPECT_EQ(child.Layer(), nullptr);

    // A manager that goes first lets its objects go.
    GuiRect survivor;
    {
        GuiMgr shortLived;
        shortLived.Add(&survivor);
        EXPECT_NE(survivor.Manager(), nullptr);
    }
    EXPECT_EQ(survivor.Layer(), nullptr);
    EXPECT_EQ(survivor.Manager(), nullptr);
}
