#include "matching/HierarchyNode.h"

#include <algorithm>

HierarchyNode::HierarchyNode() {
    toParent.Identity(3);
    fromParent.Identity(3);
}

HierarchyNode::~HierarchyNode() {
    HierarchyNode* child = firstChild;
    while (child) {
        HierarchyNode* next = child->nextSibling;
        delete child;
        child = next;
    }
}

std::unique_ptr<HierarchyNode> HierarchyNode::CloneSubtree() const {
    auto copy = std::make_unique<HierarchyNode>();
    copy->error = error;
    copy->image = image;
    copy->pair = pair;
    copy->childPoints = childPoints;
    copy->parentPoints = parentPoints;
    copy->toParent = toParent;
    copy->fromParent = fromParent;
    for (const HierarchyNode* c = firstChild; c; c = c->nextSibling)
        copy->AppendChild(c->CloneSubtree());
    return copy;
}

HierarchyNode* HierarchyNode::AppendChild(std::unique_ptr<HierarchyNode> owned) {
    HierarchyNode* child = owned.release();
    child->parent = this;
    child->nextSibling = nullptr;
    child->prevSibling = nullptr;
    if (!firstChild) {
        firstChild = child;
        return child;
    }
    HierarchyNode* last = firstChild;
    while (last->nextSibling)
        last = last->nextSibling;
    last->nextSibling = child;
    child->prevSibling = last;
    return child;
}

void HierarchyNode::TakeChildrenOf(HierarchyNode& other) {
    HierarchyNode* child = other.firstChild;
    other.firstChild = nullptr;
    while (child) {
        HierarchyNode* next = child->nextSibling;
        AppendChild(std::unique_ptr<HierarchyNode>(child));
        child = next;
    }
}

int HierarchyNode::CountNodes() const {
    int n = 1;
    for (const HierarchyNode* c = firstChild; c; c = c->nextSibling)
        n += c->CountNodes();
    return n;
}

std::vector<int> HierarchyNode::DistinctImages() const {
    std::vector<int> images;
    images.push_back(image);
    ForEachPreOrder(firstChild, [&](const HierarchyNode* n) {
        if (std::find(images.begin(), images.end(), n->image) == images.end())
            images.push_back(n->image);
    });
    return images;
}

int HierarchyNode::Depth() const {
    // The height below this node: one level per generation, counted once per node.
    int deepest = 0;
    for (const HierarchyNode* c = firstChild; c; c = c->nextSibling)
        deepest = std::max(deepest, 1 + c->Depth());
    return deepest;
}

bool HierarchyNode::Contains(int wanted) const {
    if (image == wanted)
        return true;
    bool found = false;
    ForEachPreOrder(firstChild, [&](const HierarchyNode* n) { found = found || n->image == wanted; });
    return found;
}
