#pragma once

#include "view/GuiRect.h"

// Gives a rectangle its size, then puts its top left corner at (left, top).
inline void Place(GuiRect& r, double left, double top, double w, double h) {
    r.SetWidth(w);
    r.SetHeight(h);
    r.SetTopLeft({left, top});
}
