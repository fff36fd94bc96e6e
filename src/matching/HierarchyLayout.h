#pragma once

#include <array>
#include <limits>
#include <map>
#include <set>
#include <span>

#include "linalg/PointD.h"
#include "matching/HierarchyNode.h"
#include "matching/ImageCombination.h"

// Where a tree puts its images on an unrolled plane: the root at the origin, every other image
// placed from its parent along the tree, so the two ends of a full turn lie a turn apart.
struct HierarchyLayout {
    std::map<int, PointD> position;
    // The extent of the images other than the root.
    double xmin = std::numeric_limits<double>::infinity();
    double xmax = -std::numeric_limits<double>::infinity();
    // Layouts by rotation only: the length of a full turn, and the images that look so nearly up
    // or down that their turn means nothing.
    double turnLength = 0;
    std::set<int> polar;
    double X(int image) const {
        auto it = position.find(image);
        return it == position.end() ? 0 : it->second.x;
    }
};

// Every image shifted from its parent by the offset between the centroids of their pair's
// points: the layout of a single row, where the pair transforms are nearly translations.
HierarchyLayout LayOutByCentroids(const HierarchyNode* root);

// Every image at its direction (turn and elevation, in pixels of the pairs' focal length) about
// the vertical that the chained pair rotations give: the layout of several rows and of spheres,
// where the centroid offsets of the upper rows shrink and a turn no longer adds up to a turn.
// The turn is unrolled from a cut through the widest gap between the photographs, so no pair
// straddles the cut by chance.
HierarchyLayout LayOutByRotations(const HierarchyNode* root, std::span<const ImageCombination> pairs);

// The world-to-camera rotation (row major) of every image of the tree, chained along it from the
// pairs' rotations, the root's camera being the world.
std::map<int, std::array<double, 9>> ChainedPairRotations(const HierarchyNode* root,
                                                          std::span<const ImageCombination> pairs);

// The median focal length of the tree's pairs (1 where none has one).
double MedianPairFocalLength(const HierarchyNode* root, std::span<const ImageCombination> pairs);
