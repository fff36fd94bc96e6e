#pragma once

// Sub-pixel refinement of a pair's corresponding points on the full-resolution photographs.
// Points found at the working size carry about half a pixel of noise at full size (and a few
// are off by several pixels); refining them against the photographs makes every later fit
// (the pair's rotation, the cameras) rest on positions good to a tenth of a pixel.
//
// Each second-image point Q[k] is moved so that the second photograph around it matches the
// first photograph around P[k], seen through the pair's transform H:
//  1. Template: the first photograph sampled on a (2r + 1)^2 grid that H carries onto an
//     axis-aligned grid around H(P[k]) in the second, so rotation, scale and perspective
//     between the photographs are taken out locally.
//  2. Texture: the smaller eigenvalue of the template's mean gradient structure tensor must
//     reach a floor; flat patches and single straight edges cannot fix a 2-D position.
//  3. Capture: normalised cross-correlation at whole-pixel offsets within the search radius of
//     Q[k] (no interpolation, so it is cheap) picks the start; this reaches points several
//     pixels off, beyond the pull of a gradient method on sharp texture.
//  4. Polish: translation-only Lucas-Kanade in its inverse compositional form (the template's
//     gradients and 2 x 2 normal matrix are computed once), with the second patch's mean and
//     contrast matched to the template's on every step so that differences of exposure do not
//     bias it. Gradient alignment has no preference for whole pixels, which a correlation
//     peak fitted by a parabola has.
//  5. Acceptance: converged, correlation at the final position above a floor, and moved no
//     further from Q[k] than a limit.
#include <cstdint>
#include <vector>

#include "image/ImgTypes.h"
#include "linalg/CMatrix.h"
#include "linalg/PointD.h"

struct CorrespondenceRefinementOptions {
    int patchRadius = 9;          // the patch is (2 r + 1)^2 pixels of the second photograph
    int searchRadius = 4;         // whole-pixel capture range around Q[k]
    int maxIterations = 12;       // Lucas-Kanade steps
    double convergence = 0.005;   // pixels: a smaller step ends the polish
    double minCorrelation = 0.9;  // normalised cross-correlation at the final position
    double minTexture = 1.0;      // smaller structure-tensor eigenvalue, (gray levels / pixel)^2
    double maxShift = 4.5;        // pixels from Q[k] the refined point may lie
};

enum class RefinementOutcome : uint8_t {
    Refined,
    OutsideImage,  // a patch or its search range leaves a photograph, or H sends P[k] to infinity
    NoTexture,
    NotConverged,
    LowCorrelation,
    MovedTooFar,
};

struct RefinedCorrespondences {
    std::vector<PointD> Q;                   // refined where kept, the input point otherwise
    std::vector<uint8_t> keep;               // 1 where the refinement succeeded
    std::vector<RefinementOutcome> outcome;  // why a point was not kept
    int kept = 0;
};

// first and second: the pair's photographs at full resolution as gray values; H: 3 x 3, first
// image pixels -> second image pixels (ApplyTransform). P[k] is kept as it is. Throws a
// const char* when P and Q differ in length or H is not an invertible 3 x 3 matrix.
RefinedCorrespondences RefineCorrespondences(const ImgFLOAT& first, const ImgFLOAT& second, const CMatrix& H,
                                             const std::vector<PointD>& P, const std::vector<PointD>& Q,
                                             const CorrespondenceRefinementOptions& options = {});

// Drops the pairs that were not kept and puts the refined points into Q.
void KeepRefined(const RefinedCorrespondences& refined, std::vector<PointD>& P, std::vector<PointD>& Q);
