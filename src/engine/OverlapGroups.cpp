#include "engine/OverlapGroups.h"

#include <algorithm>

#include "engine/PanoramaEngine.h"

std::vector<std::vector<int>> OverlapGroups(const PanoramaEngine& engine) {
    std::vector<std::vector<int>> groups;
    // The tree grown from an image holds every image its pairs reach, so the tree of each
    // group's root holds exactly that group.
    for (int root : engine.FindImageGroups()) {
        const HierarchyNode* tree = engine.ImageTree(root);
        if (!tree)
            continue;
        std::vector<int> members = tree->DistinctImages();
        if (members.size() < 2)
            continue;
        std::sort(members.begin(), members.end());
        groups.push_back(std::move(members));
    }
    std::sort(groups.begin(), groups.end(),
              [](const std::vector<int>& a, const std::vector<int>& b) { return a.front() < b.front(); });
    return groups;
}

std::vector<int> PhotographsInNoGroup(const std::vector<std::vector<int>>& groups, int imageCount) {
    std::vector<bool> grouped(static_cast<size_t>(imageCount), false);
    for (const std::vector<int>& group : groups)
        for (int image : group)
            grouped[static_cast<size_t>(image)] = true;
    std::vector<int> alone;
    for (int image = 0; image < imageCount; ++image)
        if (!grouped[static_cast<size_t>(image)])
            alone.push_back(image);
    return alone;
}

PanoramaEngine PanoramaEngine::GroupProject(const std::vector<int>& photographs) const {
    PanoramaEngine group;
    group.parameters = parameters;
    group.geneticSeed = geneticSeed;
    group.refineCorrespondences = refineCorrespondences;
    for (int image : photographs) {
        const ImageRecord& record = images.at(static_cast<size_t>(image));
        group.images.emplace_back(record.path, record.width, record.height);
        if (record.path == referenceImagePath)
            group.referenceImagePath = referenceImagePath;
    }
    group.RebuildCombinations();
    const int count = static_cast<int>(photographs.size());
    for (int a = 0; a < count; ++a)
        for (int b = a + 1; b < count; ++b) {
            const ImageCombination* pair =
                Combination(photographs[static_cast<size_t>(a)], photographs[static_cast<size_t>(b)]);
            if (!pair)
                continue;
            // The pair keeps naming its own two images: P belongs to its first image wherever
            // that image now stands.
            const bool inOrder = pair->first == photographs[static_cast<size_t>(a)];
            ImageCombination& target = group.Pair(a, b);
            target = *pair;
            target.first = inOrder ? a : b;
            target.second = inOrder ? b : a;
        }
    group.RebuildHierarchy();
    group.dirty = true;
    return group;
}
