#pragma once

#include <array>
#include <vector>

#include "linalg/CMatrix.h"
#include "linalg/PointD.h"

// An axis-aligned rectangle in doubles: left, top, width and height, y downwards like image
// pixels.
struct RectD {
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;

    double Right() const { return left + width; }
    double Bottom() const { return top + height; }
    PointD TopLeft() const { return {left, top}; }
    PointD TopRight() const { return {Right(), top}; }
    PointD BottomRight() const { return {Right(), Bottom()}; }
    PointD BottomLeft() const { return {left, Bottom()}; }
    // Clockwise from the top left (in pixel orientation).
    std::array<PointD, 4> Corners() const { return {TopLeft(), TopRight(), BottomRight(), BottomLeft()}; }

    static RectD FromEdges(double left, double top, double right, double bottom) {
        return {left, top, right - left, bottom - top};
    }
    // The smallest rectangle holding all points; an empty rectangle at the origin for none.
    static RectD BoundingBox(const std::vector<PointD>& points);
    // The smallest rectangle holding both.
    RectD United(const RectD& other) const;
    // The bounding box of the four corners mapped through the 3 x 3 matrix M with the
    // homogeneous division.
    RectD Transformed(const CMatrix& M) const;
};
