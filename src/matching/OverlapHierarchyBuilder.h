#pragma once

#include <memory>
#include <span>
#include <vector>

#include "linalg/PointD.h"
#include "matching/HierarchyNode.h"
#include "matching/ImageCombination.h"

// What the overlap hierarchy is built from: every pair of the project (matched or not) and the
// width of every photograph.
struct OverlapHierarchyInput {
    std::span<const ImageCombination> pairs;
    std::vector<double> imageWidths;   // by image index
    std::vector<double> imageHeights;  // by image index; the widths where empty
    // The user's reference image; -1 or an image without a matched pair lets the largest tree's
    // leftmost image be chosen.
    int requestedReference = -1;
};

// The overlap hierarchy: the reference image's tree as the main tree and, when the photographs
// close a full circle, the tree of the pairs that join its two ends.
struct OverlapHierarchy {
    int referenceIndex = -1;  // -1: no pair matched, nothing else is set
    std::unique_ptr<HierarchyNode> mainTree;
    std::unique_ptr<HierarchyNode> transitionTree;
    // The pairs looked like a full turn, but no layout showed it consistently: no transition
    // tree, the set is stitched open.
    bool turnLeftOpen = false;
    // The distinct images of mainTree in pre-order (the stitch's cameras) and where the
    // translation-only layout puts each of them.
    std::vector<int> cameraImages;
    std::vector<PointD> layoutPositions;
    // The matched pairs of every image (pair indices, ascending) and the node count of every
    // image's tree; the project's image trees are grown from these.
    std::vector<std::vector<int>> pairsOfImage;
    std::vector<int> treeSizes;
};

// Builds the hierarchy from the matched pairs. A set whose turn cannot be laid out consistently
// gets no transition tree: it is stitched as an open set.
OverlapHierarchy BuildOverlapHierarchy(const OverlapHierarchyInput& input);

// The tree grown from one image: every matched pair it reaches, attached breadth first below the
// node of the image that reached it.
std::unique_ptr<HierarchyNode> GrowImageTree(int image, std::span<const ImageCombination> pairs,
                                             const std::vector<std::vector<int>>& pairsOfImage);

// The group of connected images (joined by matched pairs) of every image, as the index of the
// group's smallest image.
std::vector<int> GroupOfEachImage(int imageCount, const std::vector<std::vector<int>>& pairsOfImage,
                                  std::span<const ImageCombination> pairs);
