#pragma once

#include "image/ImgTypes.h"
#include "linalg/RectD.h"
#include "stitching/InverseMapper.h"
#include "stitching/PixelRect.h"

// Resamples one photograph into the preview's 16-bit work image over the photograph's
// rectangle in panorama pixels, replacing what was there. A panorama pixel takes the bilinear
// sample of the source where its source position (x, y) has 0 < trunc(x) < width - 1 and
// 0 < trunc(y) < height - 1: the outermost rows and columns of a photograph are never used.
void RenderPreviewImage(const ImgRGB& source, const InverseMapper& mapper, const RectD& rect, ImgRGBSHORT& work);
// The same into the part of the work image over `window` of the panorama (work is the window's
// size; pixels outside it are not drawn).
void RenderPreviewImage(const ImgRGB& source, const InverseMapper& mapper, const RectD& rect, const PixelRect& window,
                        ImgRGBSHORT& work);
