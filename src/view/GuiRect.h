#pragma once

#include "view/GuiObj.h"
#include "view/RotatedRect.h"

// A rotated rectangle drawn as an outline: overlap frames, the crop frame, and the base of
// groups and bitmaps. An aspect ratio r = width / height > 0 ties the two sizes together.
class GuiRect : public GuiObj {
public:
    GuiRect() = default;
    GuiRect(const GuiRect& other) = default;
    ~GuiRect() override = default;

    GuiObj* Clone() const override { return new GuiRect(*this); }
    void SetPosition(const PointD& p) override;
    PointD GetPosition() const override { return rect.Anchor(); }
    void SetAngle(double radians) override;
    double GetAngle() const override { return rect.Angle(); }
    void Scale(double sx, double sy) override;
    double Distance(const PointD& p) const override { return rect.OutlineDistance(p); }
    bool Contains(const PointD& p) const override { return rect.Contains(p); }
    RectD BoundingRect(double margin) const override;
    void Update() override {}
    void Draw(const CMatrix& transform) override;
    void DrawSelection(const GuiHandles& handles, const CMatrix& transform, const GuiColor& colour) override;
    void ComputeHandles(GuiHandles& handles, double size, const CMatrix& transform) const override;
    void Drag(const PointD& pointer, const PointD& grabOffset, int mode, int handle) override;
    void CreateGLResources() override {}
    void ReleaseGLResources() override {}

    const RotatedRect& Rect() const { return rect; }
    double Width() const { return rect.Width(); }
    double Height() const { return rect.Height(); }
    // With an aspect ratio the other size follows.
    void SetWidth(double w);
    void SetHeight(double h);
    double AspectRatio() const { return aspect; }
    // A new positive ratio re-applies the current width; 0 frees the two sizes.
    void SetAspectRatio(double r);
    // The rectangle stays in place; its anchor becomes the point of the new kind.
    void SetAnchorKind(int kind);
    // Moves the rectangle so that its (turned) top-left corner lies at p.
    void SetTopLeft(const PointD& p);
    PointD TopLeft() const { return rect.Corner(0); }

    // Width of the outline in pixels (1 when created).
    double LineWidth() const { return lineWidth; }
    void SetLineWidth(double w);

protected:
    // Sets both sizes as given (the caller has applied the aspect rule).
    void SetSizeRaw(double w, double h);
    // The drag steps of a rectangle.
    void MoveWithPointer(const PointD& pointer, const PointD& grabOffset);
    void RotateByHandle(const PointD& layerPointer, int handle);
    void ResizeByHandle(const PointD& layerPointer, int handle);
    // Keeping the object inside the group whose child layer holds it.
    void ClampMove();
    void ClampResize(int fixedPoint);
    void ClampRotation(double previousAngle);
    // The rectangle of the owning group and this rectangle, both in scene coordinates.
    bool SceneRects(RotatedRect& own, RotatedRect& parent) const;
    void MoveBySceneOffset(const PointD& sceneOffset);

    RotatedRect rect;
    double aspect = 0;
    double lineWidth = 1;
};
