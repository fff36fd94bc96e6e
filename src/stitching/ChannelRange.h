#pragma once

#include "image/ImgTypes.h"

// Widens [lo, hi] to take in every channel value of the non-empty pixels of P; left as they
// are when P has none. Bands of rows run on all cores.
void ChannelRangeOf(const ImgRGBSHORT& P, int& lo, int& hi);
