#pragma once

#include <memory>
#include <vector>

#include "linalg/CMatrix.h"
#include "linalg/PointD.h"

// One image reached through one combination in an overlap hierarchy tree. A node owns its
// children: they are handed over as unique_ptr and destroyed with their parent; the links
// below only walk the tree.
class HierarchyNode {
public:
    HierarchyNode();
    HierarchyNode(const HierarchyNode&) = delete;
    HierarchyNode& operator=(const HierarchyNode&) = delete;
    ~HierarchyNode();

    // A deep copy of this node and its subtree (not of its siblings).
    std::unique_ptr<HierarchyNode> CloneSubtree() const;
    HierarchyNode* AppendChild(std::unique_ptr<HierarchyNode> child);
    // Moves all children of other to the end of this node's child list.
    void TakeChildrenOf(HierarchyNode& other);
    int CountNodes() const;
    // Distinct images in depth-first pre-order.
    std::vector<int> DistinctImages() const;
    // The largest number of ancestors of any node below.
    int Depth() const;
    bool Contains(int image) const;

    HierarchyNode* parent = nullptr;
    HierarchyNode* firstChild = nullptr;
    HierarchyNode* nextSibling = nullptr;
    HierarchyNode* prevSibling = nullptr;
    double error = 0;
    int image = -1;
    // The engine's pair (combination index) that led here; -1 at a root.
    int pair = -1;
    std::vector<PointD> childPoints;
    std::vector<PointD> parentPoints;
    CMatrix toParent;
    CMatrix fromParent;
    // The camera fit's rotation of the node's image, chained from the root.
    CMatrix workMatrix;
};

// Calls visit(node) in depth-first pre-order (node, children, then following siblings).
template <class Visit>
void ForEachPreOrder(const HierarchyNode* node, Visit&& visit) {
    for (; node; node = node->nextSibling) {
        visit(node);
        ForEachPreOrder(node->firstChild, visit);
    }
}
