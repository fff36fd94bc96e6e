#pragma once

#include "linalg/CMatrix.h"
#include "linalg/PointD.h"
#include "view/RotatedRect.h"

// The geometry that keeps an object inside the group that holds it. Both rectangles are
// given in one frame (the scene's); the object's own frame differs from it by a similarity,
// so sizes scale alike in both and the results carry over.

// The rectangle through the four mapped corners (anchored at its top-left corner).
RotatedRect MapRect(const RotatedRect& r, const CMatrix& transform);

// True when every corner of obj lies inside parent (with a small tolerance).
bool LiesInside(const RotatedRect& obj, const RotatedRect& parent);

// The smallest rectangle at the parent's angle around both: its size along the parent's
// axes and its centre.
struct EnclosingRect {
    double width = 0, height = 0;
    PointD centre;
};
EnclosingRect EncloseAtParentAngle(const RotatedRect& obj, const RotatedRect& parent);

// The shift that pushes obj back inside parent by its overshoot along each of the parent's
// axes; zero for an object inside.
PointD InsideMoveOffset(const RotatedRect& obj, const RotatedRect& parent);

// Whether obj is turned a quarter against parent (its width then runs along the parent's height).
bool IsTurnedAgainst(double objAngle, double parentAngle);

// Scales width and height by fw and fh keeping a fixed point: corner 0-3, or -1 for the centre.
void ScaleKeeping(RotatedRect& r, double fw, double fh, int fixedPoint);

// The factors for width and height that make obj fit into parent along the parent's axes,
// found by a trial shrink to 0.999 and linear extrapolation of the overshoot; each in [0, 1].
// With keepAspect, both factors are the same (the smaller).
struct FitFactors {
    double width = 1, height = 1;
};
FitFactors ResizeToFit(const RotatedRect& obj, const RotatedRect& parent, int fixedPoint, bool keepAspect);
