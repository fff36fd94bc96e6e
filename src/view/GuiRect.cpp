#include "view/GuiRect.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "view/GlDraw.h"
#include "view/GuiGroup.h"
#include "view/KeepInside.h"
#include "view/ViewTransform.h"

void GuiRect::SetPosition(const PointD& p) {
    if (rect.Anchor() == p)
        return;
    rect.SetAnchor(p);
    MarkDirty();
}

void GuiRect::SetAngle(double radians) {
    if (rect.Angle() == radians)
        return;
    rect.SetAngle(radians);
    MarkDirty();
}

void GuiRect::SetWidth(double w) {
    const double h = aspect > 0 ? w / aspect : rect.Height();
    SetSizeRaw(w, h);
}

void GuiRect::SetHeight(double h) {
    const double w = aspect > 0 ? aspect * h : rect.Width();
    SetSizeRaw(w, h);
}

void GuiRect::SetSizeRaw(double w, double h) {
    if (rect.Width() == w && rect.Height() == h)
        return;
    rect.SetWidth(w);
    rect.SetHeight(h);
    MarkDirty();
}

void GuiRect::SetAspectRatio(double r) {
    if (r == aspect)
        return;
    aspect = r > 0 ? r : 0;
    if (aspect > 0)
        SetWidth(rect.Width());
    MarkDirty();
}

void GuiRect::SetAnchorKind(int kind) {
    if (kind == rect.Kind())
        return;
    rect.SetKind(kind);
    MarkDirty();
}

void GuiRect::SetTopLeft(const PointD& p) {
    const PointD d = p - rect.Corner(0);
    if (d.x == 0 && d.y == 0)
        return;
    rect.MoveBy(d.x, d.y);
    MarkDirty();
}

void GuiRect::SetLineWidth(double w) {
    if (w == lineWidth)
        return;
    lineWidth = w;
    MarkDirty();
}

void GuiRect::Scale(double sx, double sy) {
    SetWidth(rect.Width() * sx);
    SetHeight(rect.Height() * sy);
}

RectD GuiRect::BoundingRect(double margin) const {
    RectD r = rect.BoundingBox();
    return {r.left - margin, r.top - margin, r.width + 2 * margin, r.height + 2 * margin};
}

void GuiRect::Draw(const CMatrix& transform) {
    GlDrawOutline(ScreenQuad(rect.Corners(), transform), Color(), lineWidth);
}

void GuiRect::DrawSelection(const GuiHandles& handles, const CMatrix& transform, const GuiColor& colour) {
    const unsigned short pattern = SelectionStipplePattern(NextSelectionStippleStep());
    GlDrawStippledOutline(ScreenQuad(rect.Corners(), transform), colour, 3, pattern);
    GlDrawHandles(handles, HasFlag(kGuiRotatable), HasFlag(kGuiResizable));
}

void GuiRect::ComputeHandles(GuiHandles& handles, double size, const CMatrix& transform) const {
    handles.count = 0;
    const bool rotatable = HasFlag(kGuiRotatable), resizable = HasFlag(kGuiResizable);
    if (!rotatable && !resizable)
        return;
    std::array<PointD, 4> c;
    for (int i = 0; i < 4; ++i)
        c[i] = ApplyTransform(transform, rect.Corner(i));
    auto square = [size](const PointD& p) { return RectD{p.x - size / 2, p.y - size / 2, size, size}; };
    for (int i = 0; i < 4; ++i)
        handles.rects[handles.count++] = square((c[i] + c[(i + 1) % 4]) * 0.5);
    if (resizable)
        for (int i = 0; i < 4; ++i)
            handles.rects[handles.count++] = square(c[i]);
}

void GuiRect::Drag(const PointD& pointer, const PointD& grabOffset, int mode, int handle) {
    if (mode == kGuiDragMove) {
        if (HasFlag(kGuiMovable))
            MoveWithPointer(pointer, grabOffset);
        return;
    }
    if (mode != kGuiDragHandle || handle < 0 || handle > 7)
        return;
    const PointD p = ToLayer(pointer);
    if (HasFlag(kGuiRotatable) && handle < 4) {
        const double before = rect.Angle();
        RotateByHandle(p, handle);
        if (HasFlag(kGuiKeepInside))
            ClampRotation(before);
    } else if (HasFlag(kGuiResizable)) {
        ResizeByHandle(p, handle);
    }
}

void GuiRect::MoveWithPointer(const PointD& pointer, const PointD& grabOffset) {
    SetPosition(ToLayer(pointer - grabOffset));
    if (HasFlag(kGuiKeepInside))
        ClampMove();
}

void GuiRect::RotateByHandle(const PointD& p, int handle) {
    static const double kTurn[4] = {std::numbers::pi / 2, 0, -std::numbers::pi / 2, std::numbers::pi};
    const PointD centre = rect.Centre();
    const double angle = std::atan2(p.y - centre.y, p.x - centre.x) + kTurn[handle];
    if (angle == rect.Angle())
        return;
    rect.SetAngle(angle);
    rect.Restore(centre, rect.Centre());
    MarkDirty();
}

void GuiRect::ResizeByHandle(const PointD& p, int handle) {
    const int fixedCorner = ((handle - 2) % 4 + 4) % 4;
    const PointD v = p - rect.Corner(fixedCorner);
    const bool edge = handle < 4;
    const bool vertical = edge && (handle == 0 || handle == 2);
    const bool horizontal = edge && (handle == 1 || handle == 3);
    double w = rect.Width(), h = rect.Height();
    if (!vertical)
        w = std::fabs(Dot(v, rect.AxisU()));
    if (!horizontal)
        h = std::fabs(Dot(v, rect.AxisV()));
    if (aspect != 0) {
        if (horizontal)
            h = w / aspect;
        else
            w = aspect * h;
    }
    if (w == rect.Width() && h == rect.Height())
        return;
    // A movable rectangle keeps the corner opposite the handle; one that may not move keeps
    // its centre.
    const int fixedPoint = HasFlag(kGuiMovable) ? fixedCorner : -1;
    const PointD before = fixedPoint >= 0 ? rect.Corner(fixedPoint) : rect.Centre();
    rect.SetWidth(w);
    rect.SetHeight(h);
    rect.Restore(before, fixedPoint >= 0 ? rect.Corner(fixedPoint) : rect.Centre());
    MarkDirty();
    if (HasFlag(kGuiKeepInside))
        ClampResize(fixedPoint);
}

bool GuiRect::SceneRects(RotatedRect& own, RotatedRect& parent) const {
    const GuiGroup* group = OwnerGroup();
    if (!group)
        return false;
    own = MapRect(rect, SceneFromLayer());
    parent = MapRect(group->Rect(), group->SceneFromLayer());
    return true;
}

void GuiRect::MoveBySceneOffset(const PointD& sceneOffset) {
    if (sceneOffset.x == 0 && sceneOffset.y == 0)
        return;
    const CMatrix toScene = SceneFromLayer();
    const PointD anchorScene = ApplyTransform(toScene, rect.Anchor()) + sceneOffset;
    rect.SetAnchor(ApplyTransform(InverseTransform(toScene), anchorScene));
    MarkDirty();
}

void GuiRect::ClampMove() {
    RotatedRect own, parent;
    if (SceneRects(own, parent))
        MoveBySceneOffset(InsideMoveOffset(own, parent));
}

void GuiRect::ClampResize(int fixedPoint) {
    RotatedRect own, parent;
    if (!SceneRects(own, parent))
        return;
    if (!LiesInside(own, parent)) {
        const FitFactors f = ResizeToFit(own, parent, fixedPoint, aspect != 0);
        if (f.width != 1 || f.height != 1) {
            ScaleKeeping(rect, f.width, f.height, fixedPoint);
            MarkDirty();
        }
    }
    ClampMove();
}

void GuiRect::ClampRotation(double previousAngle) {
    RotatedRect own, parent;
    if (!SceneRects(own, parent) || LiesInside(own, parent))
        return;
    // The largest part of the turn after which a move brings the rectangle back inside.
    const double target = rect.Angle();
    const PointD centre = rect.Centre();
    auto fitsAt = [&](double angle) {
        RotatedRect trial = rect;
        trial.SetAngle(angle);
        trial.Restore(centre, trial.Centre());
        const RotatedRect scene = MapRect(trial, SceneFromLayer());
        RotatedRect moved = scene;
        const PointD offset = InsideMoveOffset(scene, parent);
        moved.MoveBy(offset.x, offset.y);
        return LiesInside(moved, parent);
    };
    double chosen = target;
    if (!fitsAt(target)) {
        double lo = 0, hi = 1;
        if (!fitsAt(previousAngle)) {
            ClampMove();
            return;
        }
        for (int i = 0; i < 40; ++i) {
            const double mid = (lo + hi) / 2;
            (fitsAt(previousAngle + mid * (target - previousAngle)) ? lo : hi) = mid;
        }
        chosen = previousAngle + lo * (target - previousAngle);
    }
    rect.SetAngle(chosen);
    rect.Restore(centre, rect.Centre());
    MarkDirty();
    ClampMove();
}
