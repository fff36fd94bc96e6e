#pragma once

#include <functional>

#include "image/ImgTypes.h"
#include "linalg/RectD.h"
#include "stitching/Camera.h"
#include "stitching/InverseMapper.h"
#include "stitching/PixelRect.h"

// The per-image pieces of the final render: the working copy of a photograph, the seam mask
// against earlier images, and the warp of the working copy into its rectangle of the panorama.

// A photograph's working copy: its photometrically corrected 16-bit pixels scaled by `scale`
// (blurred first when reduced), workWidth x workHeight, with the smallest and largest channel
// value it holds. Pixels the scaling cannot reach take their nearest neighbour's value.
struct WorkingCopy {
    ImgRGBSHORT image;
    double scale = 1;
    int minimum = 0;
    int maximum = 0;
};
void MakeWorkingCopy(const ImgRGBSHORT& corrected, double scale, int workWidth, int workHeight, WorkingCopy& copy);
// The same taking the corrected pixels over: at scale 1 they are the working copy as they are.
void MakeWorkingCopy(ImgRGBSHORT&& corrected, double scale, int workWidth, int workHeight, WorkingCopy& copy);

// The new image's seam mask at working resolution: 1 where it owns a working pixel, 0 where an
// earlier image whose rectangle meets its own covers the pixel with a larger tent weight.
struct EarlierImage {
    const Camera* camera;
    double scale;
    int workWidth, workHeight;
};
void SeamMask(const Projection& projection, const Camera& camera, const WorkingCopy& copy,
              const std::vector<EarlierImage>& earlier, ImgUCHAR& seam);

// The warp of one image into its panorama rectangle r of a panorama of width x height, whose
// pixels over r are `background` (r's size): for every pixel (u, v) of the panorama whose source
// position lands inside the working copy (0 < trunc < size - 1), A is the working copy's
// bilinear sample, B the background's pixel (A where it is empty), C = 1 and M the seam mask
// there; elsewhere all four are 0.
void WarpIntoRectangle(const WorkingCopy& copy, const InverseMapper& mapper, const ImgUCHAR& seam, const PixelRect& r,
                       const ImgRGBSHORT& background, int width, int height, ImgRGBSHORT& A, ImgRGBSHORT& B,
                       ImgUCHAR& C, ImgUCHAR& M);
