// The overlap hierarchy: a tree of matched pairs per image, the reference image's tree as the
// main hierarchy, and, when the images close a full circle, the tree of the pairs that join
// its two ends.
#include "matching/OverlapHierarchyBuilder.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

namespace {

// A node for the other image of pair k, attached below a node of image `from`.
std::unique_ptr<HierarchyNode> NodeFor(const ImageCombination& pair, int k, int from) {
    auto child = std::make_unique<HierarchyNode>();
    child->pair = k;
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

bool InList(const std::vector<int>& list, int image) {
    return std::find(list.begin(), list.end(), image) != list.end();
}

int GroupRoot(std::vector<int>& parent, int i) {
    while (parent[static_cast<size_t>(i)] != i) {
        parent[static_cast<size_t>(i)] = parent[static_cast<size_t>(parent[static_cast<size_t>(i)])];
        i = parent[static_cast<size_t>(i)];
    }
    return i;
}

// The node count of every image's tree: its root and one node per matched pair of its group.
std::vector<int> TreeSizes(int n, const std::vector<int>& matched, std::span<const ImageCombination> pairs) {
    std::vector<std::vector<int>> pairsOfImage(static_cast<size_t>(n));
    for (int k : matched) {
        pairsOfImage[static_cast<size_t>(pairs[k].first)].push_back(k);
        pairsOfImage[static_cast<size_t>(pairs[k].second)].push_back(k);
    }
    std::vector<int> group = GroupOfEachImage(n, pairsOfImage, pairs);
    std::vector<int> pairsOfGroup(static_cast<size_t>(n), 0);
    for (int k : matched)
        ++pairsOfGroup[static_cast<size_t>(group[static_cast<size_t>(pairs[k].first)])];
    std::vector<int> sizes(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        sizes[static_cast<size_t>(i)] = 1 + pairsOfGroup[static_cast<size_t>(group[static_cast<size_t>(i)])];
    return sizes;
}

// The index of the pair of images a and b among n images, in the project's pair order.
int PairIndex(int a, int b, int n) {
    if (a == b || a < 0 || b < 0 || a >= n || b >= n)
        return -1;
    int i = a < b ? a : b, j = a < b ? b : a;
    return i * n - i * (i + 1) / 2 + j - i - 1;
}

// Attaches every unused matched pair of each node's image to that node, for start and its
// following siblings, before exploring the children. The pairs of an image are visited in
// index order, as a scan of all pairs would meet them.
void Grow(HierarchyNode* start, std::vector<char>& used, std::span<const ImageCombination> pairs,
          const std::vector<std::vector<int>>& pairsOfImage) {
    for (HierarchyNode* p = start; p; p = p->nextSibling) {
        for (int k : pairsOfImage[static_cast<size_t>(p->image)]) {
            if (used[k])
                continue;
            used[k] = 1;
            p->AppendChild(NodeFor(pairs[k], k, p->image));
        }
        if (p->firstChild)
            Grow(p->firstChild, used, pairs, pairsOfImage);
    }
}

// Appends pair k below the first node in pre-order whose image belongs to it.
bool Attach(HierarchyNode* root, const ImageCombination& pair, int k) {
    HierarchyNode* found = nullptr;
    ForEachPreOrder(root, [&](const HierarchyNode* n) {
        if (!found && (n->image == pair.first || n->image == pair.second))
            found = const_cast<HierarchyNode*>(n);
    });
    if (!found)
        return false;
    found->AppendChild(NodeFor(pair, k, found->image));
    return true;
}

// The tree of the reference restricted to a window of the layout around it (steps shared by
// the first and the second windowed tree).
std::unique_ptr<HierarchyNode> WindowedTree(int reference, const std::vector<int>& members, const Layout& layout,
                                            double W, std::vector<char>& used, std::span<const ImageCombination> pairs,
                                            const std::vector<std::vector<int>>& pairsOfImage,
                                            const std::vector<int>& matched) {
    std::unique_ptr<HierarchyNode> tree = Root(reference);
    const double hw = (layout.xmax - layout.xmin) * 0.5 + W;
    const double x0 = layout.X(reference);
    const double xmin = std::fabs(layout.xmin);
    // Up to one round per pair; a round that attaches nothing leaves the tree as it is, so
    // every later round would too.
    for (size_t round = 0; round < pairs.size(); ++round) {
        bool attached = false;
        for (int k : matched) {
            const ImageCombination& pair = pairs[k];
            if (used[k] || !InList(members, pair.first) || !InList(members, pair.second))
                continue;
            double xa = layout.X(pair.first), xb = layout.X(pair.second);
            bool inside = hw >= std::fabs(x0 - xa) && hw >= std::fabs(x0 - xb);
            bool side = (hw < xmin && x0 >= xa && x0 >= xb) || (hw >= xmin && x0 <= xa && x0 <= xb);
            if (inside && side && Attach(tree.get(), pair, k)) {
                used[k] = 1;
                attached = true;
            }
        }
        if (!attached)
            break;
    }
    std::unique_ptr<HierarchyNode> rest = Root(reference);
    Grow(rest.get(), used, pairs, pairsOfImage);
    tree->TakeChildrenOf(*rest);
    return tree;
}

}  // namespace

// The group of connected images (joined by matched pairs) of every image, as the index of
// one image of the group.
std::vector<int> GroupOfEachImage(int n, const std::vector<std::vector<int>>& pairsOfImage,
                                  std::span<const ImageCombination> pairs) {
    std::vector<int> parent(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        parent[static_cast<size_t>(i)] = i;
    for (int i = 0; i < n && static_cast<size_t>(i) < pairsOfImage.size(); ++i)
        for (int k : pairsOfImage[static_cast<size_t>(i)]) {
            int a = GroupRoot(parent, pairs[k].first), b = GroupRoot(parent, pairs[k].second);
            if (a != b)
                parent[static_cast<size_t>(std::max(a, b))] = std::min(a, b);
        }
    std::vector<int> group(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        group[static_cast<size_t>(i)] = GroupRoot(parent, i);
    return group;
}

OverlapHierarchy BuildOverlapHierarchy(const OverlapHierarchyInput& input) {
    OverlapHierarchy result;
    const std::span<const ImageCombination> combinations = input.pairs;
    const int n = static_cast<int>(input.imageWidths.size());
    if (n == 0 || combinations.empty())
        return result;
    // Every image's tree holds every matched pair it reaches, so the trees of one group of
    // connected images all have one node per pair of the group, plus their root. Sizes come
    // from the groups; trees are grown only where one is looked at.
    std::vector<int> matched;
    std::vector<std::vector<int>>& pairsOfImage = result.pairsOfImage;
    pairsOfImage.assign(static_cast<size_t>(n), {});
    for (size_t k = 0; k < combinations.size(); ++k)
        if (combinations[k].matched) {
            matched.push_back(static_cast<int>(k));
            pairsOfImage[static_cast<size_t>(combinations[k].first)].push_back(static_cast<int>(k));
            pairsOfImage[static_cast<size_t>(combinations[k].second)].push_back(static_cast<int>(k));
        }
    const std::vector<int> treeSizes = TreeSizes(n, matched, combinations);
    result.treeSizes = treeSizes;

    int referenceIndex = input.requestedReference;
    if (referenceIndex < 0 || referenceIndex >= n || treeSizes[static_cast<size_t>(referenceIndex)] < 2) {
        int largest = 0;
        for (int k = 1; k < n; ++k)
            if (treeSizes[static_cast<size_t>(k)] > treeSizes[static_cast<size_t>(largest)])
                largest = k;
        if (treeSizes[static_cast<size_t>(largest)] <= 1)
            return OverlapHierarchy{};
        const std::unique_ptr<HierarchyNode> largestTree = GrowImageTree(largest, combinations, pairsOfImage);
        Layout layout = LayOut(largestTree.get());
        std::vector<int> order = largestTree->DistinctImages();
        int leftmost = order[0];
        for (int image : order)
            if (layout.X(image) < layout.X(leftmost))
                leftmost = image;
        referenceIndex = leftmost;
    }
    result.referenceIndex = referenceIndex;

    const std::unique_ptr<HierarchyNode> referenceTree = GrowImageTree(referenceIndex, combinations, pairsOfImage);
    std::vector<int> L = referenceTree->DistinctImages();
    Layout layout = LayOut(referenceTree.get());
    const double W = input.imageWidths[static_cast<size_t>(referenceIndex)];
    auto closesCircle = [&](const std::vector<int>& members, const Layout& lay, std::vector<char>* transitions,
                            int* best) {
        bool any = false;
        for (size_t ia = 0; ia < members.size(); ++ia)
            for (size_t ib = 0; ib < members.size(); ++ib) {
                int a = members[ia], b = members[ib];
                int k = PairIndex(a, b, n);
                if (a == b || k < 0 || static_cast<size_t>(k) >= combinations.size() || !combinations[k].matched ||
                    !(std::fabs(lay.X(b) - lay.X(a)) > 3 * W))
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
        result.mainTree = referenceTree->CloneSubtree();
    } else {
        std::vector<char> used(combinations.size(), 0);
        std::unique_ptr<HierarchyNode> first =
            WindowedTree(referenceIndex, L, layout, W, used, combinations, pairsOfImage, matched);
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
        result.mainTree =
            WindowedTree(referenceIndex, L, firstLayout, W, usedSecond, combinations, pairsOfImage, matched);
        Layout mainLayout = LayOut(result.mainTree.get());
        const ImageCombination& closing = combinations[best];
        int right = mainLayout.X(closing.first) > mainLayout.X(closing.second) ? closing.first : closing.second;
        result.transitionTree = Root(right);
        std::vector<char> onlyTransitions(combinations.size(), 1);
        for (size_t k = 0; k < combinations.size(); ++k)
            if (transitions[k])
                onlyTransitions[k] = 0;
        Grow(result.transitionTree.get(), onlyTransitions, combinations, pairsOfImage);
    }

    Layout mainLayout = LayOut(result.mainTree.get());
    for (int image : result.mainTree->DistinctImages()) {
        result.cameraImages.push_back(image);
        result.layoutPositions.push_back(mainLayout.position[image]);
    }
    return result;
}

std::unique_ptr<HierarchyNode> GrowImageTree(int image, std::span<const ImageCombination> pairs,
                                             const std::vector<std::vector<int>>& pairsOfImage) {
    std::unique_ptr<HierarchyNode> tree = Root(image);
    std::vector<char> used(pairs.size(), 0);
    Grow(tree.get(), used, pairs, pairsOfImage);
    return tree;
}
