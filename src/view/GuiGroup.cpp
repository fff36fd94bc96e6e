#include "view/GuiGroup.h"

#include <algorithm>

#include "view/ViewTransform.h"

GuiGroup::GuiGroup() { childLayer.owner = this; }

GuiGroup::GuiGroup(const GuiGroup& other)
    : GuiRect(other), factor(other.factor), scaledContent(other.scaledContent), savedAspect(other.savedAspect),
      savedWidth(other.savedWidth), savedHeight(other.savedHeight) {
    childLayer.owner = this;
}

GuiGroup::~GuiGroup() {
    // Leave the scene first, so that the children stop being part of a manager's scene
    // before the child layer lets them go.
    RemoveFromScene();
    childLayer.Clear();
}

void GuiGroup::SetPosition(const PointD& p) {
    GuiRect::SetPosition(p);
    Update();
}

void GuiGroup::SetAngle(double radians) {
    GuiRect::SetAngle(radians);
    Update();
}

CMatrix GuiGroup::ComputeChildTransform() const {
    const PointD topLeft = rect.Corner(0);
    return LayerTransform() * TranslationTransform(topLeft.x, topLeft.y) * ScalingTransform(factor, factor) *
           RotationTransform(rect.Angle());
}

void GuiGroup::Update() {
    childLayer.SetTransform(ComputeChildTransform());
    // Nested groups compose their transforms with this one.
    childLayer.Visit(
        [](GuiObj* obj, GuiLayer*) {
            if (auto* group = dynamic_cast<GuiGroup*>(obj))
                group->childLayer.SetTransform(group->ComputeChildTransform());
        },
        false);
}

void GuiGroup::SetScaledSize(double width, double height, double f) {
    if (!scaledContent) {
        savedAspect = aspect;
        savedWidth = rect.Width();
        savedHeight = rect.Height();
    }
    // An empty image has no shape to keep: the sizes are then free.
    SetAspectRatio(height > 0 && width > 0 ? width / height : 0);
    SetSizeRaw(width * f, aspect > 0 ? width * f / aspect : height * f);
    factor = f;
    scaledContent = true;
    MarkDirty();
    Update();
}

void GuiGroup::ResetScaledSize() {
    if (!scaledContent)
        return;
    SetAspectRatio(savedAspect);
    SetSizeRaw(savedWidth, savedHeight);
    factor = 1;
    scaledContent = false;
    MarkDirty();
    Update();
}

void GuiGroup::CarryChildren(double sx, double sy) {
    if (scaledContent) {
        factor *= sx;
        Update();
        return;
    }
    Update();
    const std::vector<GuiObj*> children = childLayer.Objects();
    for (GuiObj* child : children) {
        const PointD p = child->GetPosition();
        child->SetPosition({p.x * sx, p.y * sy});
        child->Scale(sx, sy);
    }
}

void GuiGroup::Scale(double sx, double sy) {
    const double w = rect.Width(), h = rect.Height();
    if (w * sx == w && h * sy == h)
        return;
    SetWidth(w * sx);
    SetHeight(h * sy);
    CarryChildren(sx, sy);
}

double GuiGroup::Distance(const PointD& p) const {
    if (rect.Contains(p))
        return 0;
    double best = rect.OutlineDistance(p);
    const CMatrix toChild = InverseTransform(ComputeChildTransform()) * LayerTransform();
    const PointD inChild = ApplyTransform(toChild, p);
    for (GuiObj* child : childLayer.Objects())
        if (child->HasFlag(kGuiVisible))
            best = std::min(best, child->Distance(inChild) * factor);
    return best;
}

RectD GuiGroup::BoundingRect(double margin) const {
    RectD box = GuiRect::BoundingRect(margin);
    const CMatrix toGroupLayer = InverseTransform(LayerTransform()) * ComputeChildTransform();
    for (GuiObj* child : childLayer.Objects())
        if (child->HasFlag(kGuiVisible))
            box = box.United(child->BoundingRect(margin).Transformed(toGroupLayer));
    return box;
}

void GuiGroup::Drag(const PointD& pointer, const PointD& grabOffset, int mode, int handle) {
    const double w = rect.Width(), h = rect.Height();
    GuiRect::Drag(pointer, grabOffset, mode, handle);
    if (rect.Width() != w || rect.Height() != h) {
        CarryChildren(w > 0 ? rect.Width() / w : 1, h > 0 ? rect.Height() / h : 1);
        return;
    }
    Update();
}
