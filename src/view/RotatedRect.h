#pragma once

#include <array>

#include "linalg/PointD.h"
#include "linalg/RectD.h"

// A rectangle placed by one of its points (the anchor) and turned about it. The corners and
// the centre are derived and recomputed on demand after any change.
class RotatedRect {
public:
    enum AnchorKind { kTopLeft = 0, kTopRight = 1, kBottomRight = 2, kBottomLeft = 3, kCentre = 4 };

    PointD Anchor() const { return {x, y}; }
    int Kind() const { return kind; }
    double Width() const { return width; }
    double Height() const { return height; }
    double Angle() const { return angle; }

    void SetAnchor(const PointD& p);
    // The rectangle stays where it is: the anchor moves to the point of the new kind.
    void SetKind(int anchorKind);
    void SetWidth(double w);
    void SetHeight(double h);
    void SetAngle(double radians);
    void MoveBy(double dx, double dy) { SetAnchor({x + dx, y + dy}); }

    // Top-left, top-right, bottom-right, bottom-left of the unrotated rectangle, turned.
    const std::array<PointD, 4>& Corners() const;
    PointD Corner(int index) const { return Corners()[index & 3]; }
    PointD Centre() const;
    // Unit vectors along the rectangle's width and height.
    PointD AxisU() const;
    PointD AxisV() const;

    bool Contains(const PointD& p) const;
    // The smallest distance to the four edges, also from inside.
    double OutlineDistance(const PointD& p) const;
    RectD BoundingBox() const;

    // Shifts the anchor so that the derived point that was at `before` lies there again,
    // after a change of size or angle moved it to `after`.
    void Restore(const PointD& before, const PointD& after) { MoveBy(before.x - after.x, before.y - after.y); }

private:
    void Recompute() const;

    double x = 0, y = 0;
    int kind = kCentre;
    double width = 10, height = 10;
    double angle = 0;

    mutable bool valid = false;
    mutable std::array<PointD, 4> corners;
    mutable PointD centre;
};
