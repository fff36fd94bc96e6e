#include "view/GuiPoints.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "view/GlDraw.h"
#include "view/GuiGroup.h"
#include "view/KeepInside.h"
#include "view/ViewTransform.h"

namespace {

// Pixels per layer unit of a similarity transform.
double LayerScale(const CMatrix& m) {
    const double det = m(0, 0) * m(1, 1) - m(0, 1) * m(1, 0);
    return std::sqrt(std::fabs(det));
}

// The smallest rectangle at `angle` around the points (anchored at its centre).
RotatedRect EncloseAtAngle(const std::vector<PointD>& points, double angle, const PointD& fallback) {
    RotatedRect r;
    r.SetAngle(angle);
    if (points.empty()) {
        r.SetAnchor(fallback);
        r.SetWidth(0);
        r.SetHeight(0);
        return r;
    }
    const PointD u = r.AxisU(), v = r.AxisV();
    double u0 = Dot(points[0], u), u1 = u0, v0 = Dot(points[0], v), v1 = v0;
    for (const PointD& p : points) {
        u0 = std::min(u0, Dot(p, u));
        u1 = std::max(u1, Dot(p, u));
        v0 = std::min(v0, Dot(p, v));
        v1 = std::max(v1, Dot(p, v));
    }
    r.SetAnchor(u * ((u0 + u1) / 2) + v * ((v0 + v1) / 2));
    r.SetWidth(u1 - u0);
    r.SetHeight(v1 - v0);
    return r;
}

}  // namespace

GuiPoints::GuiPoints() {
    bounds.SetWidth(0);
    bounds.SetHeight(0);
}

const RotatedRect& GuiPoints::Bounds() const {
    if (!boundsValid)
        RecomputeBounds();
    return bounds;
}

void GuiPoints::RecomputeBounds() const {
    bounds = EncloseAtAngle(points, bounds.Angle(), bounds.Anchor());
    boundsValid = true;
}

void GuiPoints::SetPoints(const std::vector<PointD>& list) {
    points = list;
    selected = kNoPoint;
    boundsValid = false;
    MarkDirty();
}

void GuiPoints::AddPoint(const PointD& p) {
    points.push_back(p);
    boundsValid = false;
    MarkDirty();
}

bool GuiPoints::SetPoint(int k, const PointD& p) {
    if (k < 0 || k >= Count())
        return false;
    if (!(points[k] == p)) {
        points[k] = p;
        boundsValid = false;
        MarkDirty();
    }
    return true;
}

bool GuiPoints::RemovePoint(int k) {
    if (k < 0 || k >= Count())
        return false;
    points.erase(points.begin() + k);
    if (selected == k)
        selected = kNoPoint;
    else if (selected > k)
        --selected;
    boundsValid = false;
    MarkDirty();
    return true;
}

void GuiPoints::Clear() { SetPoints({}); }

void GuiPoints::SetMarkerHalfSize(double h) {
    if (h != halfSize) {
        halfSize = h;
        MarkDirty();
    }
}

void GuiPoints::SetLineWidth(double w) {
    if (w != lineWidth) {
        lineWidth = w;
        MarkDirty();
    }
}

void GuiPoints::ShiftAll(const PointD& d) {
    if (d.x == 0 && d.y == 0)
        return;
    for (PointD& p : points)
        p = p + d;
    if (boundsValid)
        bounds.MoveBy(d.x, d.y);
    MarkDirty();
}

void GuiPoints::SetPosition(const PointD& p) { ShiftAll(p - Bounds().Anchor()); }

PointD GuiPoints::GetPosition() const { return Bounds().Anchor(); }

void GuiPoints::TurnTo(double radians) {
    const RotatedRect& b = Bounds();
    const double turn = radians - b.Angle();
    if (turn == 0)
        return;
    const PointD c = b.Centre();
    const double cs = std::cos(turn), sn = std::sin(turn);
    for (PointD& p : points) {
        const PointD d = p - c;
        p = {c.x + d.x * cs - d.y * sn, c.y + d.x * sn + d.y * cs};
    }
    bounds.SetAngle(radians);
    boundsValid = false;
    MarkDirty();
}

void GuiPoints::SetAngle(double radians) { TurnTo(radians); }

void GuiPoints::Scale(double sx, double sy) {
    if (sx == 1 && sy == 1)
        return;
    const PointD c = Bounds().Centre();
    for (PointD& p : points)
        p = {c.x + (p.x - c.x) * sx, c.y + (p.y - c.y) * sy};
    boundsValid = false;
    MarkDirty();
}

void GuiPoints::ScaleAbout(const PointD& fixed, double su, double sv) {
    const RotatedRect& b = Bounds();
    const PointD u = b.AxisU(), v = b.AxisV();
    for (PointD& p : points) {
        const PointD d = p - fixed;
        p = fixed + u * (Dot(d, u) * su) + v * (Dot(d, v) * sv);
    }
    boundsValid = false;
    MarkDirty();
}

double GuiPoints::Distance(const PointD& p) const {
    if (points.empty())
        return std::numeric_limits<double>::infinity();
    double best = std::numeric_limits<double>::infinity();
    for (const PointD& q : points)
        best = std::min(best, Length(q - p));
    if (HasFlag(kGuiMovable) || HasFlag(kGuiRotatable) || HasFlag(kGuiResizable))
        best = std::min(best, Bounds().OutlineDistance(p));
    return best;
}

RectD GuiPoints::BoundingRect(double margin) const {
    const RectD r = Bounds().BoundingBox();
    return {r.left - margin, r.top - margin, r.width + 2 * margin, r.height + 2 * margin};
}

void GuiPoints::Update() { RecomputeBounds(); }

void GuiPoints::DrawMarkers(const CMatrix& transform) {
    if (points.empty())
        return;
    const double arm = halfSize + 0.5;
    glPushAttrib(GL_ENABLE_BIT | GL_LINE_BIT | GL_COLOR_BUFFER_BIT | GL_CURRENT_BIT);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glLineWidth(static_cast<GLfloat>(lineWidth));
    const GuiColor& c = Color();
    glColor4f(c.r, c.g, c.b, c.a);
    glBegin(GL_LINES);
    for (const PointD& p : points) {
        // Pixel centres lie at half units: a cross through the centre of its pixel covers
        // 2 * half-size + 1 pixels in each direction.
        const PointD s = RoundToPixel(ApplyTransform(transform, p)) + PointD{0.5, 0.5};
        glVertex2d(s.x - arm, s.y);
        glVertex2d(s.x + arm, s.y);
        glVertex2d(s.x, s.y - arm);
        glVertex2d(s.x, s.y + arm);
    }
    glEnd();
    glPopAttrib();
    glLineWidth(1.0f);
}

void GuiPoints::Draw(const CMatrix& transform) { DrawMarkers(transform); }

void GuiPoints::DrawSelection(const GuiHandles& handles, const CMatrix& transform, const GuiColor& colour) {
    const unsigned short pattern = SelectionStipplePattern(NextSelectionStippleStep());
    GlDrawStippledOutline(ScreenQuad(Bounds().Corners(), transform), colour, 1, pattern);
    GlDrawHandles(handles, HasFlag(kGuiRotatable), HasFlag(kGuiResizable));
    if (selected >= 0 && selected < Count()) {
        // The selected point gets a square of the selection colour around its cross.
        const PointD s = RoundToPixel(ApplyTransform(transform, points[selected]));
        const double r = halfSize + 2.5;
        GlDrawOutline(
            {PointD{s.x - r, s.y - r}, PointD{s.x + r, s.y - r}, PointD{s.x + r, s.y + r}, PointD{s.x - r, s.y + r}},
            colour, 1);
    }
}

void GuiPoints::ComputeHandles(GuiHandles& handles, double size, const CMatrix& transform) const {
    handles.count = 0;
    const bool rotatable = HasFlag(kGuiRotatable), resizable = HasFlag(kGuiResizable);
    if (!rotatable && !resizable)
        return;
    std::array<PointD, 4> c;
    for (int i = 0; i < 4; ++i)
        c[i] = ApplyTransform(transform, Bounds().Corner(i));
    auto square = [size](const PointD& p) { return RectD{p.x - size / 2, p.y - size / 2, size, size}; };
    // The edge handles come first so that handle indices mean the same as for rectangles.
    for (int i = 0; i < 4; ++i)
        handles.rects[handles.count++] = square((c[i] + c[(i + 1) % 4]) * 0.5);
    if (resizable)
        for (int i = 0; i < 4; ++i)
            handles.rects[handles.count++] = square(c[i]);
}

void GuiPoints::Drag(const PointD& pointer, const PointD& grabOffset, int mode, int handle) {
    switch (mode) {
    case kGuiDragPressNew:
    case kGuiDragPressSelected: {
        // The point under the pointer (within the manager's ten pixels) becomes the selected
        // one; a press beside every point selects none, so that a drag moves the whole set.
        const PointD p = ToLayer(pointer);
        const double tolerance = 10.0 / std::max(1e-12, LayerScale(LayerTransform()));
        selected = kNoPoint;
        double best = tolerance;
        for (int k = 0; k < Count(); ++k) {
            const double d = Length(points[k] - p);
            if (d <= best) {
                best = d;
                selected = k;
            }
        }
        return;
    }
    case kGuiDragDeselect: selected = kNoPoint; return;
    case kGuiDragMove:
        if (selected >= 0 && selected < Count() && editing) {
            PointD p = ToLayer(pointer);
            if (HasFlag(kGuiKeepInside))
                ClampPoint(p);
            SetPoint(selected, p);
        } else if (HasFlag(kGuiMovable)) {
            ShiftAll(ToLayer(pointer - grabOffset) - Bounds().Anchor());
            if (HasFlag(kGuiKeepInside))
                ClampSetMove();
        }
        return;
    case kGuiDragHandle: {
        if (handle < 0 || handle > 7 || points.empty())
            return;
        const PointD p = ToLayer(pointer);
        if (HasFlag(kGuiRotatable) && handle < 4) {
            static const double kTurn[4] = {std::numbers::pi / 2, 0, -std::numbers::pi / 2, std::numbers::pi};
            const PointD c = Bounds().Centre();
            TurnTo(std::atan2(p.y - c.y, p.x - c.x) + kTurn[handle]);
        } else if (HasFlag(kGuiResizable)) {
            const RotatedRect b = Bounds();
            const int fixedCorner = ((handle - 2) % 4 + 4) % 4;
            const PointD fixed = b.Corner(fixedCorner), v = p - fixed;
            const bool vertical = handle == 0 || handle == 2, horizontal = handle == 1 || handle == 3;
            const double w = vertical ? b.Width() : std::fabs(Dot(v, b.AxisU()));
            const double h = horizontal ? b.Height() : std::fabs(Dot(v, b.AxisV()));
            ScaleAbout(fixed, b.Width() > 0 ? w / b.Width() : 1, b.Height() > 0 ? h / b.Height() : 1);
        }
        return;
    }
    default: return;
    }
}

void GuiPoints::ClampPoint(PointD& p) const {
    const GuiGroup* group = OwnerGroup();
    if (!group)
        return;
    // The parent's corners in this set's layer.
    const CMatrix toSet = InverseTransform(LayerTransform()) * group->LayerTransform();
    const RotatedRect parent = MapRect(group->Rect(), toSet);
    const PointD centre = parent.Centre();
    for (int i = 0; i < 4; ++i) {
        const PointD a = parent.Corner(i), b = parent.Corner((i + 1) % 4);
        const PointD edge = b - a;
        const double len = Length(edge);
        if (len == 0)
            continue;
        const PointD normal{-edge.y / len, edge.x / len};
        // The side of the edge's line on which the parent lies is positive.
        const double inward = Dot(centre - a, normal) >= 0 ? 1 : -1;
        const double side = Dot(p - a, normal) * inward;
        if (side < -1e-5)
            p = p - normal * (side * inward);
    }
}

void GuiPoints::ClampSetMove() {
    const GuiGroup* group = OwnerGroup();
    if (!group || points.empty())
        return;
    const CMatrix toSet = InverseTransform(LayerTransform()) * group->LayerTransform();
    const RotatedRect parent = MapRect(group->Rect(), toSet);
    const RotatedRect box = EncloseAtAngle(points, parent.Angle(), Bounds().Anchor());
    ShiftAll(InsideMoveOffset(box, parent));
}
