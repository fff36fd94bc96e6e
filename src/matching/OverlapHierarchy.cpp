// The overlap hierarchy: a tree of matched pairs per image, the reference image's tree as the
// main hierarchy, and, when the images close a full circle, the tree of the pairs that join
// its two ends.
#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

#include "project/PanoramaEngine.h"

namespace {

// A node for the other image of pair, attached below a node of image `from`.
std::unique_ptr<HierarchyNode> NodeFor(const ImageCombination& pair, int from) {
    auto child = std::make_unique<HierarchyNode>();
    child->error = pair.error;
    bool childIsFirst = pair.second == from;
    child->image = childIsFirst ? pair.first : pair.second;
    child->childPoints = childIsFirst ? pair.P : pair.Q;
    child->parentPoints = childIsFirst ? pair.Q : pair.P;
    child->toParent = childIsFirst ? pair.forward : pair.backward;
    child->fromParent = childIsFirst ? pair.backward : pair.forward;
    return child;
}

std::unique_ptr<HierarchyNode> Root(int image) {
    auto root = std::make_unique<HierarchyNode>();
    root->image = image;
    return root;
}

struct Layout {
    std::map<int, PointD> position;
    double xmin = std::numeric_limits<double>::infinity();
    double xmax = -std::numeric_limits<double>::infinity();
    double X(int image) const {
        auto it = position.find(image);
        return it == position.end() ? 0 : it->second.x;
    }
};

// Places every image of the tree by the offset between the centroids of each pair's points,
// walking the nodes in the order the layout was defined with.
Layout LayOut(const HierarchyNode* root) {
    Layout layout;
    for (int image : root->DistinctImages())
        layout.position[image] = {0, 0};
    const int limit = root->CountNodes();
    int visits = 0;
    const HierarchyNode* n = root->firstChild;
    while (n && visits++ < limit) {
        PointD& here = layout.position[n->image];
        if (here.x == 0 && here.y == 0) {
            PointD parent = layout.position[n->parent->image];
            PointD a = Centroid(n->parentPoints), b = Centroid(n->childPoints);
            here = {parent.x + a.x - b.x, parent.y + a.y - b.y};
            layout.xmin = std::min(layout.xmin, here.x);
            layout.xmax = std::max(layout.xmax, here.x);
        }
        if (n->nextSibling) {
            n = n->nextSibling;
            continue;
        }
        if (n->firstChild) {
            n = n->firstChild;
            continue;
        }
        const HierarchyNode* from = n;
        n = nullptr;
        while (from && from != root) {
            for (const HierarchyNode* s = from->prevSibling; s; s = s->prevSibling)
                if (s->firstChild) {
                    n = s->firstChild;
                    break;
                }
            if (n)
                break;
            from = from->parent;
        }
    }
    return layout;
}

bool InList(const std::vector<int>& list, int image) { return std::find(list.begin(), list.end(), image) != list.end(); }

}  // namespace

// Attaches every unused matched pair of each node's image to that node, for start and its
// following siblings, before exploring the children.
static void Grow(HierarchyNode* start, std::vector<char>& used, const std::vector<ImageCombination>& pairs) {
    for (HierarchyNode* p = start; p; p = p->nextSibling) {
        for (size_t k = 0; k < pairs.size(); ++k) {
            const ImageCombination& pair = pairs[k];
            if (!pair.matched || used[k] || (pair.first != p->image && pair.second != p->image))
                continue;
            used[k] = 1;
            p->AppendChild(NodeFor(pair, p->image));
        }
        if (p->firstChild)
            Grow(p->firstChild, used, pairs);
    }
}

// Appends pair k below the first node in pre-order whose image belongs to it.
static bool Attach(HierarchyNode* root, const ImageCombination& pair) {
    HierarchyNode* found = nullptr;
    ForEachPreOrder(root, [&](const HierarchyNode* n) {
        if (!found && (n->image == pair.first || n->image == pair.second))
            found = const_cast<HierarchyNode*>(n);
    });
    if (!found)
        return false;
    found->AppendChild(NodeFor(pair, found->image));
    return true;
}

void PanoramaEngine::ClearOverlapHierarchy() {
    cameraList.clear();
    closingCameraList.clear();
    layoutPositions.clear();
    imageTrees.clear();
    mainTree.reset();
    transitionTree.reset();
}

namespace {

// The tree of the reference restricted to a window of the layout around it (steps shared by
// the first and the second windowed tree).
std::unique_ptr<HierarchyNode> WindowedTree(int reference, const std::vector<int>& members, const Layout& layout, double W,
                            std::vector<char>& used, const std::vector<ImageCombination>& pairs) {
    std::unique_ptr<HierarchyNode> tree = Root(reference);
    const double hw = (layout.xmax - layout.xmin) * 0.5 + W;
    const double x0 = layout.X(reference);
    const double xmin = std::fabs(layout.xmin);
    for (size_t round = 0; round < pairs.size(); ++round)
        for (size_t k = 0; k < pairs.size(); ++k) {
            const ImageCombination& pair = pairs[k];
            if (!pair.matched || used[k] || !InList(members, pair.first) || !InList(members, pair.second))
                continue;
            double xa = layout.X(pair.first), xb = layout.X(pair.second);
            bool inside = hw >= std::fabs(x0 - xa) && hw >= std::fabs(x0 - xb);
            bool side = (hw < xmin && x0 >= xa && x0 >= xb) || (hw >= xmin && x0 <= xa && x0 <= xb);
            if (inside && side && Attach(tree.get(), pair))
                used[k] = 1;
        }
    std::unique_ptr<HierarchyNode> rest = Root(reference);
    Grow(rest.get(), used, pairs);
    tree->TakeChildrenOf(*rest);
    return tree;
}

}  // namespace

bool PanoramaEngine::BuildOverlapHierarchyTrees() {
    ClearOverlapHierarchy();
    const int n = static_cast<int>(images.size());
    if (n == 0 || combinations.empty())
        return false;
    for (int k = 0; k < n; ++k) {
        std::vector<char> used(combinations.size(), 0);
        imageTrees.push_back(Root(k));
        Grow(imageTrees.back().get(), used, combinations);
    }

    referenceIndex = -1;
    if (!referenceImagePath.IsEmpty()) {
        int found = -1;
        for (int k = 0; k < n; ++k)
            if (images[k].path == referenceImagePath)
                found = k;
        if (found < 0 || imageTrees[found]->CountNodes() < 2)
            referenceImagePath = Zelvo::Chars();
        else
            referenceIndex = found;
    }
    if (referenceIndex < 0) {
        int largest = 0;
        for (int k = 1; k < n; ++k)
            if (imageTrees[k]->CountNodes() > imageTrees[largest]->CountNodes())
                largest = k;
        if (imageTrees[largest]->CountNodes() <= 1) {
            imageTrees.clear();
            return false;
        }
        Layout layout = LayOut(imageTrees[largest].get());
        std::vector<int> order = imageTrees[largest]->DistinctImages();
        int leftmost = order[0];
        for (int image : order)
            if (layout.X(image) < layout.X(leftmost))
                leftmost = image;
        referenceIndex = leftmost;
        referenceImagePath = images[leftmost].path;
    }

    const HierarchyNode* referenceTree = imageTrees[referenceIndex].get();
    std::vector<int> L = referenceTree->DistinctImages();
    Layout layout = LayOut(referenceTree);
    const double W = images[referenceIndex].width;
    auto closesCircle = [&](const std::vector<int>& members, const Layout& lay, std::vector<char>* transitions,
                            int* best) {
        bool any = false;
        for (size_t ia = 0; ia < members.size(); ++ia)
            for (size_t ib = 0; ib < members.size(); ++ib) {
                int a = members[ia], b = members[ib];
                int k = CombinationIndex(a, b);
                if (a == b || k < 0 || !combinations[k].matched || !(std::fabs(lay.X(b) - lay.X(a)) > 3 * W))
                    continue;
                any = true;
                if (transitions) {
                    (*transitions)[k] = 1;
                    if (*best < 0 || combinations[k].P.size() > combinations[*best].P.size())
                        *best = k;
                }
            }
        return any;
    };

    if (!closesCircle(L, layout, nullptr, nullptr)) {
        mainTree = referenceTree->CloneSubtree();
    } else {
        std::vector<char> used(combinations.size(), 0);
        std::unique_ptr<HierarchyNode> first = WindowedTree(referenceIndex, L, layout, W, used, combinations);
        if (first->DistinctImages().size() != L.size())
            throw "Error in BuildOverlapHierarchyTrees()";
        std::vector<int> L1 = first->DistinctImages();
        Layout firstLayout = LayOut(first.get());
        std::vector<char> transitions(combinations.size(), 0);
        int best = -1;
        if (!closesCircle(L1, firstLayout, &transitions, &best))
            throw "Error in BuildOverlapHierarchyTrees()";
        first.reset();
        std::vector<char> usedSecond = transitions;
        mainTree = WindowedTree(referenceIndex, L, firstLayout, W, usedSecond, combinations);
        Layout mainLayout = LayOut(mainTree.get());
        const ImageCombination& closing = combinations[best];
        int right = mainLayout.X(closing.first) > mainLayout.X(closing.second) ? closing.first : closing.second;
        transitionTree = Root(right);
        std::vector<char> onlyTransitions(combinations.size(), 1);
        for (size_t k = 0; k < combinations.size(); ++k)
            if (transitions[k])
                onlyTransitions[k] = 0;
        Grow(transitionTree.get(), onlyTransitions, combinations);
    }

    Layout mainLayout = LayOut(mainTree.get());
    for (int image : mainTree->DistinctImages()) {
        Camera camera;
        camera.image = image;
        cameraList.push_back(camera);
        layoutPositions.push_back(mainLayout.position[image]);
    }
    return true;
}

std::vector<int> PanoramaEngine::FindImageGroups() const {
    std::vector<int> result;
    if (referenceIndex < 0 || referenceIndex >= static_cast<int>(imageTrees.size()))
        return result;
    std::vector<std::vector<int>> groups;  // the images whose trees each group holds
    groups.push_back({referenceIndex});
    auto grouped = [&](int image) {
        for (const auto& g : groups)
            for (int t : g)
                if (imageTrees[t]->Contains(image))
                    return true;
        return false;
    };
    const int n = static_cast<int>(imageTrees.size());
    for (int k = 0; k < n;) {
        if (!grouped(k) && imageTrees[k]->CountNodes() > 1) {
            std::vector<int> group;
            for (int b = 0; b < n; ++b)
                if (imageTrees[b]->CountNodes() > 1 && imageTrees[b]->Contains(k))
                    group.push_back(b);
            groups.push_back(group);
            k = 0;
            continue;
        }
        ++k;
    }
    result.push_back(referenceIndex);
    for (size_t g = 1; g < groups.size(); ++g) {
        int best = groups[g][0];
        for (int t : groups[g]) {
            int nodes = imageTrees[t]->CountNodes(), bestNodes = imageTrees[best]->CountNodes();
            if (nodes > bestNodes || (nodes == bestNodes && imageTrees[t]->Depth() < imageTrees[best]->Depth()))
                best = t;
        }
        result.push_back(best);
    }
    return result;
}
