#pragma once

#include <array>

#include "linalg/CMatrix.h"
#include "linalg/PointD.h"
#include "linalg/RectD.h"
#include "view/GuiTypes.h"

// Fixed-function drawing helpers of the scene objects; they need a current GL context whose
// model-view matrix makes one unit one pixel (the manager sets it up).

// The four points through the transform, rounded to whole pixels.
std::array<PointD, 4> ScreenQuad(const std::array<PointD, 4>& corners, const CMatrix& transform);

// The outline of a quadrilateral; blended when the colour is translucent.
void GlDrawOutline(const std::array<PointD, 4>& screen, const GuiColor& colour, double lineWidth);
// The same with a 16-bit line stipple pattern (factor 1).
void GlDrawStippledOutline(const std::array<PointD, 4>& screen, const GuiColor& colour, double lineWidth,
                           unsigned short pattern);
// A filled, blended square.
void GlFillRect(const RectD& r, const GuiColor& colour);
// Segments between point pairs (a[k], b[k]) in screen pixels, blended.
void GlDrawSegments(const PointD* a, const PointD* b, int count, const GuiColor& colour, double lineWidth);

// The crawling dash of the selection outline: k-th pattern of a cycle of 16.
unsigned short SelectionStipplePattern(int k);
// The k of this moment: the cycle advances by the clock, one step per 33 ms.
int NextSelectionStippleStep();

// Fills the handle squares the way the selection decoration shows them.
void GlDrawHandles(const GuiHandles& handles, bool rotatable, bool resizable);
