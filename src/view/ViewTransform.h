#pragma once

#include <cmath>

#include "linalg/CMatrix.h"
#include "linalg/PointD.h"
#include "linalg/PointTransform.h"

// The 3 x 3 matrices of the image view: every layer maps its coordinates to screen pixels
// through one of them, built from these elementary steps (applied right to left).
CMatrix IdentityTransform();
CMatrix TranslationTransform(double dx, double dy);
CMatrix ScalingTransform(double sx, double sy);
// A positive angle turns clockwise on screen, since y points down.
CMatrix RotationTransform(double angle);
// The inverse by the adjugate: exact for the tiny scales of a far zoom, where an eliminating
// inverse with a pivot threshold gives up. A singular matrix gives the identity.
CMatrix InverseTransform(const CMatrix& m);

// Whole pixels for drawing: halves are rounded away from zero.
inline double RoundToPixel(double v) { return std::round(v); }
inline PointD RoundToPixel(const PointD& p) { return {std::round(p.x), std::round(p.y)}; }

inline double Dot(const PointD& a, const PointD& b) { return a.x * b.x + a.y * b.y; }
inline double Length(const PointD& a) { return std::hypot(a.x, a.y); }

// Distance from p to the segment a-b.
double SegmentDistance(const PointD& p, const PointD& a, const PointD& b);
