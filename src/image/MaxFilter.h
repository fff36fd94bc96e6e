#pragma once

#include "image/ImgTypes.h"

// Running maximum over a window (sizes made odd; nothing written below 3).
void MaxFilter(const ImgFLOAT& source, ImgFLOAT& result, int windowWidth, int windowHeight);
