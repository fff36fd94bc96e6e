#pragma once

#include <utility>
#include <vector>

#include "matching/Descriptor.h"

// A k-d tree over the descriptors of one image, searched best-bin-first.
class DescriptorTree {
public:
    struct Result {
        int index;
        float distance;  // squared
    };

    void Build(const std::vector<Descriptor>& list);
    // Up to k nearest descriptors in ascending squared distance, examining at most
    // maxDescents root-to-leaf paths.
    std::vector<Result> FindNearest(const Descriptor& query, int k, int maxDescents) const;
    bool Empty() const { return nodes.empty(); }

private:
    struct Node {
        int index;  // into entries, and into the caller's list
        int splitDimension;
        int lower = -1;
        int upper = -1;
    };

    int BuildNode(std::vector<int>& members, const std::vector<float>& low, const std::vector<float>& high);
    // The squared distance from the query to node's box, or any value above `bound` once the
    // distance is known to exceed it.
    float BoxDistance(int node, const Descriptor& query, float bound) const;

    std::vector<Descriptor> entries;  // the tree keeps its own copy of the descriptors
    int dimensions = 0;
    std::vector<Node> nodes;
    // Each node's box, `dimensions` bounds per node in node order, side by side in memory.
    std::vector<float> boxLow, boxHigh;
    int root = -1;
};
