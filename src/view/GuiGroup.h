#pragma once

#include "view/GuiLayer.h"
#include "view/GuiRect.h"

// A rectangle that carries other objects in its child layer: their coordinates are the
// group's own frame (origin at its top-left corner, turned with it, scaled by its factor), so
// markers placed on a photograph move, scale and turn with it.
class GuiGroup : public GuiRect {
public:
    GuiGroup();
    GuiGroup(const GuiGroup& other);
    ~GuiGroup() override;

    // The copy's child layer starts empty.
    GuiObj* Clone() const override { return new GuiGroup(*this); }
    void SetPosition(const PointD& p) override;
    void SetAngle(double radians) override;
    void Scale(double sx, double sy) override;
    // 0 inside the group, else the nearest of its outline and its visible children.
    double Distance(const PointD& p) const override;
    RectD BoundingRect(double margin) const override;
    void Update() override;
    void Drag(const PointD& pointer, const PointD& grabOffset, int mode, int handle) override;

    GuiLayer& ChildLayer() { return childLayer; }
    const GuiLayer& ChildLayer() const { return childLayer; }
    // Places obj at the end of the child layer.
    void AddChild(GuiObj* obj) { childLayer.Add(obj); }

    double ScaleFactor() const { return factor; }
    bool ScaledContent() const { return scaledContent; }
    // Shows content of width x height at factor: the rectangle takes the content's aspect
    // ratio and the width width x factor. The size it had before is remembered for a reset.
    void SetScaledSize(double width, double height, double factor);
    // Puts back the size and aspect ratio from before SetScaledSize, with factor 1.
    void ResetScaledSize();

    // parent's transform * translate(top-left corner) * scale(factor) * rotate(angle).
    CMatrix ComputeChildTransform() const;

protected:
    // Lets the children follow a change of the group's size by sx, sy.
    void CarryChildren(double sx, double sy);

private:
    GuiLayer childLayer;
    double factor = 1;
    bool scaledContent = false;
    double savedAspect = 0, savedWidth = 10, savedHeight = 10;
};
