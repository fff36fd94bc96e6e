#include "view/KeepInside.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "view/ViewTransform.h"

RotatedRect MapRect(const RotatedRect& r, const CMatrix& transform) {
    const auto& c = r.Corners();
    const PointD c0 = ApplyTransform(transform, c[0]), c1 = ApplyTransform(transform, c[1]);
    const PointD c3 = ApplyTransform(transform, c[3]);
    RotatedRect out;
    out.SetKind(RotatedRect::kTopLeft);
    out.SetAnchor(c0);
    out.SetWidth(Length(c1 - c0));
    out.SetHeight(Length(c3 - c0));
    out.SetAngle(std::atan2(c1.y - c0.y, c1.x - c0.x));
    return out;
}

bool LiesInside(const RotatedRect& obj, const RotatedRect& parent) {
    const double tol = 1e-7 * std::max({1.0, parent.Width(), parent.Height()});
    const PointD origin = parent.Corner(0), u = parent.AxisU(), v = parent.AxisV();
    for (const PointD& c : obj.Corners()) {
        const double pu = Dot(c - origin, u), pv = Dot(c - origin, v);
        if (pu < -tol || pu > parent.Width() + tol || pv < -tol || pv > parent.Height() + tol)
            return false;
    }
    return true;
}

EnclosingRect EncloseAtParentAngle(const RotatedRect& obj, const RotatedRect& parent) {
    const PointD origin = parent.Corner(0), u = parent.AxisU(), v = parent.AxisV();
    double u0 = 0, u1 = 0, v0 = 0, v1 = 0;
    bool first = true;
    auto take = [&](const PointD& p) {
        const double pu = Dot(p - origin, u), pv = Dot(p - origin, v);
        if (first) {
            u0 = u1 = pu;
            v0 = v1 = pv;
            first = false;
        }
        u0 = std::min(u0, pu);
        u1 = std::max(u1, pu);
        v0 = std::min(v0, pv);
        v1 = std::max(v1, pv);
    };
    for (const PointD& c : parent.Corners())
        take(c);
    for (const PointD& c : obj.Corners())
        take(c);
    EnclosingRect b;
    b.width = u1 - u0;
    b.height = v1 - v0;
    b.centre = origin + u * ((u0 + u1) / 2) + v * ((v0 + v1) / 2);
    return b;
}

PointD InsideMoveOffset(const RotatedRect& obj, const RotatedRect& parent) {
    const EnclosingRect b = EncloseAtParentAngle(obj, parent);
    return (b.centre - parent.Centre()) * -2.0;
}

namespace {

double InTurn(double a) {
    const double turn = 2 * std::numbers::pi;
    a = std::fmod(a, turn);
    return a < 0 ? a + turn : a;
}

PointD FixedPointOf(const RotatedRect& r, int fixedPoint) {
    return fixedPoint >= 0 ? r.Corner(fixedPoint) : r.Centre();
}

// How far the enclosing rectangle exceeds the parent along the axis that the object's width
// (or height) runs along.
double Overshoot(const RotatedRect& obj, const RotatedRect& parent, bool widthStep) {
    const EnclosingRect b = EncloseAtParentAngle(obj, parent);
    const bool alongParentHeight = IsTurnedAgainst(obj.Angle(), parent.Angle()) == widthStep;
    return alongParentHeight ? b.height - parent.Height() : b.width - parent.Width();
}

double FitFactor(const RotatedRect& obj, const RotatedRect& parent, int fixedPoint, bool widthStep) {
    const double o = Overshoot(obj, parent, widthStep);
    RotatedRect trial = obj;
    ScaleKeeping(trial, widthStep ? 0.999 : 1.0, widthStep ? 1.0 : 0.999, fixedPoint);
    const double e = o - Overshoot(trial, parent, widthStep);
    // A shrink that does not lessen the overshoot (the fixed point itself lies outside) is
    // left to the move that follows: growing or flipping the object would not help.
    if (e < 1e-5)
        return 1.0;
    return std::clamp(1.0 + (0.999 - 1.0) * o / e, 0.0, 1.0);
}

}  // namespace

bool IsTurnedAgainst(double objAngle, double parentAngle) {
    const double pi = std::numbers::pi;
    const double d = std::fabs(InTurn(objAngle) - InTurn(parentAngle));
    return (d > pi / 4 && d < 3 * pi / 4) || (d > 5 * pi / 4 && d < 7 * pi / 4);
}

void ScaleKeeping(RotatedRect& r, double fw, double fh, int fixedPoint) {
    const PointD before = FixedPointOf(r, fixedPoint);
    r.SetWidth(r.Width() * fw);
    r.SetHeight(r.Height() * fh);
    r.Restore(before, FixedPointOf(r, fixedPoint));
}

FitFactors ResizeToFit(const RotatedRect& obj, const RotatedRect& parent, int fixedPoint, bool keepAspect) {
    FitFactors f;
    RotatedRect work = obj;
    f.width = FitFactor(work, parent, fixedPoint, true);
    if (keepAspect)
        f.height = f.width;
    ScaleKeeping(work, f.width, f.height, fixedPoint);
    const double g = FitFactor(work, parent, fixedPoint, false);
    if (keepAspect) {
        f.width *= g;
        f.height *= g;
    } else {
        f.height *= g;
    }
    return f;
}
