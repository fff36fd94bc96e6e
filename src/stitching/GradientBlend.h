#pragma once

#include <functional>

#include "image/ImgTypes.h"
#include "stitching/BlendWeight.h"
#include "stitching/Blender.h"
#include "stitching/PoissonSolver.h"

namespace stitch {

struct GradientBlendSettings {
    int widthPercent = kBlendWidthPercent;
    // Threads for the three channels' Poisson solves: 1 runs everything on the calling thread,
    // 0 takes one per channel where the machine has two cores or more. The result is the same
    // either way.
    int threads = 0;
    // The solves' grid: padded to fast transform lengths, or the powers of two the blend was
    // first solved on (within 45 dB of each other).
    PoissonGrid grid = PoissonGrid::Padded;
};

// The first of the nine steps the blend announces: channel k announces 3k + 7 before its
// forward transform, 3k + 8 between the transforms, 3k + 9 after the inverse one.
constexpr int kFirstBlendStep = 7;

// Gradient-domain (Poisson) blend of A into B across the seam mask M (1 where A owns the
// panorama), all of one rectangle's size; B becomes the blend R. Per channel: the two outer
// pixel rings of both images cleared, the mixed gradients (A's where E, a Gaussian blur of M,
// is 1, B's where it is 0), their divergence, a Poisson solve, and the solution G mixed into
// B with the blend weight (BlendWeight): b := G w + (1 - w) b.
// `announce` is called from the calling thread only, with the steps in order, also when the
// channels are solved on worker threads; when it throws, the workers stop at their next step,
// the exception propagates and B is left unchanged. An M without set pixels leaves B as it was.
void GradientDomainBlend(const ImgRGBSHORT& A, ImgRGBSHORT& B, const ImgUCHAR& M, const GradientBlendSettings& settings,
                         const StepCallback& announce);

}  // namespace stitch
