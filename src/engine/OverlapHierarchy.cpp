// The engine's overlap hierarchy: built by the matching stage from the matched pairs, kept
// with the image trees that the window's tree view grows on demand.
#include <limits>

#include "engine/EngineText.h"
#include "engine/PanoramaEngine.h"
#include "matching/OverlapHierarchyBuilder.h"

void PanoramaEngine::ClearOverlapHierarchy() {
    cameraList.clear();
    closingCameraList.clear();
    layoutPositions.clear();
    imageTrees.clear();
    pairsOfImage.clear();
    treeSizes.clear();
    mainTree.reset();
    transitionTree.reset();
    fittedMainTree.reset();
}

bool PanoramaEngine::BuildOverlapHierarchyTrees() {
    ClearOverlapHierarchy();
    if (images.empty() || combinations.empty())
        return false;
    OverlapHierarchyInput input;
    input.pairs = combinations;
    for (const ImageRecord& image : images) {
        input.imageWidths.push_back(image.width);
        input.imageHeights.push_back(image.height);
    }
    input.requestedReference = referenceImagePath.IsEmpty() ? -1 : FindImage(referenceImagePath.c_str());
    OverlapHierarchy hierarchy = BuildOverlapHierarchy(input);
    // The user's choice stands only when its image has a matched pair; otherwise the hierarchy
    // names the image it chose.
    if (hierarchy.referenceIndex < 0) {
        referenceImagePath = Zelvo::Chars();
        return false;
    }
    referenceIndex = hierarchy.referenceIndex;
    referenceImagePath = images[static_cast<size_t>(referenceIndex)].path;
    if (hierarchy.turnLeftOpen)
        Log(Tr("The photographs seem to close a full turn, but their pairs do not lay the turn out "
               "consistently: the panorama is stitched open, without closing the turn.\n"));
    mainTree = std::move(hierarchy.mainTree);
    transitionTree = std::move(hierarchy.transitionTree);
    pairsOfImage = std::move(hierarchy.pairsOfImage);
    treeSizes = std::move(hierarchy.treeSizes);
    imageTrees.resize(images.size());
    layoutPositions = std::move(hierarchy.layoutPositions);
    for (int image : hierarchy.cameraImages) {
        Camera camera;
        camera.image = image;
        cameraList.push_back(camera);
    }
    return true;
}

const HierarchyNode* PanoramaEngine::ImageTree(int image) const {
    if (image < 0 || static_cast<size_t>(image) >= imageTrees.size())
        return nullptr;
    std::unique_ptr<HierarchyNode>& tree = imageTrees[static_cast<size_t>(image)];
    if (!tree) {
        tree = GrowImageTree(image, combinations, pairsOfImage);
    }
    return tree.get();
}

int PanoramaEngine::ImageTreeSize(int image) const {
    return image >= 0 && static_cast<size_t>(image) < treeSizes.size() ? treeSizes[static_cast<size_t>(image)] : 0;
}

std::vector<int> PanoramaEngine::FindImageGroups() const {
    std::vector<int> result;
    const int n = static_cast<int>(treeSizes.size());
    if (referenceIndex < 0 || referenceIndex >= n)
        return result;
    // A tree holds exactly the images of its group of connected images, so "k lies in a tree
    // of a group" is "k is connected to it". The groups follow the reference's in the order
    // of their first image.
    std::vector<int> group = GroupOfEachImage(n, pairsOfImage, combinations);
    result.push_back(referenceIndex);
    std::vector<char> taken(static_cast<size_t>(n), 0);
    taken[static_cast<size_t>(group[static_cast<size_t>(referenceIndex)])] = 1;
    for (int k = 0; k < n; ++k) {
        const int g = group[static_cast<size_t>(k)];
        if (taken[static_cast<size_t>(g)] || treeSizes[static_cast<size_t>(k)] <= 1)
            continue;
        taken[static_cast<size_t>(g)] = 1;
        // Among trees of equal size, the shallowest (the first among equals) roots the group.
        int best = k, bestDepth = std::numeric_limits<int>::max();
        for (int b = k; b < n; ++b) {
            if (group[static_cast<size_t>(b)] != g)
                continue;
            int depth = GrowTreeDepth(b);
            if (depth < bestDepth) {
                best = b;
                bestDepth = depth;
            }
        }
        result.push_back(best);
    }
    return result;
}

int PanoramaEngine::GrowTreeDepth(int image) const {
    if (imageTrees[static_cast<size_t>(image)])
        return imageTrees[static_cast<size_t>(image)]->Depth();
    return GrowImageTree(image, combinations, pairsOfImage)->Depth();
}
