#pragma once

#include "image/ImgTypes.h"
#include "movie/CylinderGeometry.h"

// Renders what a pinhole camera at the centre of the cylinder sees: out's size is the view's,
// looking at view.pan and view.tilt with the vertical field of view view.fov. Directions off
// the image are black; a closed circle wraps around its seam. Bilinear sampling.
void RenderCylinderView(const ImgRGB& panorama, const Cylinder& cylinder, const ViewAngles& view, ImgRGB& out);
