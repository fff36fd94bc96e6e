#include "view/RotatedRect.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "view/ViewTransform.h"

void RotatedRect::SetAnchor(const PointD& p) {
    x = p.x;
    y = p.y;
    valid = false;
}

void RotatedRect::SetKind(int anchorKind) {
    if (anchorKind < kTopLeft || anchorKind > kCentre || anchorKind == kind)
        return;
    const PointD p = anchorKind == kCentre ? Centre() : Corner(anchorKind);
    kind = anchorKind;
    SetAnchor(p);
}

void RotatedRect::SetWidth(double w) {
    width = w;
    valid = false;
}

void RotatedRect::SetHeight(double h) {
    height = h;
    valid = false;
}

void RotatedRect::SetAngle(double radians) {
    angle = radians;
    valid = false;
}

void RotatedRect::Recompute() const {
    // The unrotated rectangle's top-left corner, from the anchor and its kind.
    double left = x, top = y;
    switch (kind) {
    case kTopRight: left = x - width; break;
    case kBottomRight:
        left = x - width;
        top = y - height;
        break;
    case kBottomLeft: top = y - height; break;
    case kCentre:
        left = x - width / 2;
        top = y - height / 2;
        break;
    default: break;
    }
    const double c = std::cos(angle), s = std::sin(angle);
    auto turn = [&](double px, double py) {
        return PointD{x + (px - x) * c - (py - y) * s, y + (px - x) * s + (py - y) * c};
    };
    corners = {turn(left, top), turn(left + width, top), turn(left + width, top + height), turn(left, top + height)};
    centre = turn(left + width / 2, top + height / 2);
    valid = true;
}

const std::array<PointD, 4>& RotatedRect::Corners() const {
    if (!valid)
        Recompute();
    return corners;
}

PointD RotatedRect::Centre() const {
    if (!valid)
        Recompute();
    return centre;
}

PointD RotatedRect::AxisU() const { return {std::cos(angle), std::sin(angle)}; }
PointD RotatedRect::AxisV() const { return {-std::sin(angle), std::cos(angle)}; }

bool RotatedRect::Contains(const PointD& p) const {
    const PointD d = p - Corner(0);
    const double u = Dot(d, AxisU()), v = Dot(d, AxisV());
    return u >= 0 && u <= width && v >= 0 && v <= height;
}

double RotatedRect::OutlineDistance(const PointD& p) const {
    const auto& c = Corners();
    double best = SegmentDistance(p, c[3], c[0]);
    for (int i = 0; i < 3; ++i)
        best = std::min(best, SegmentDistance(p, c[i], c[i + 1]));
    return best;
}

RectD RotatedRect::BoundingBox() const {
    const auto& c = Corners();
    return RectD::BoundingBox(std::vector<PointD>(c.begin(), c.end()));
}
