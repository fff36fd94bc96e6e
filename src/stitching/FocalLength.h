#pragma once

#include <vector>

#include "linalg/CMatrix.h"
#include "matching/HierarchyNode.h"
#include "stitching/Camera.h"
#include "stitching/ImageSize.h"

// The focal length for which the homography H is a pure rotation between two cameras with the
// principal point and aspect of `camera`, written into camera.focalLength. False when H does
// not tell it (a rotation about the optical axis, a translation, an imaginary solution).
bool FocalFromHomography(const CMatrix& H, Camera& camera);

// The focal length of the tree edge whose rotation model transfers its points best: for every
// non-root node of mainTree and then of transitionTree (may be null), the focal length of its
// edge homography with the principal point at the centre of the node's image, the nearest
// rotation at that focal length, and the mean squared transfer error of the node's point
// pairs under it. 0 when no edge gives a usable (finite, positive) focal length.
// imageSizes is indexed by image; an image outside it throws.
double InitialFocalLength(const HierarchyNode* mainTree, const HierarchyNode* transitionTree,
                          const std::vector<ImageSize>& imageSizes);
