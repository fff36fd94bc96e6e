// The overlap hierarchy: a tree of matched pairs per image, the reference image's tree as the
// main hierarchy, and, when the images close a full circle, the tree of the pairs that join
// its two ends.
#include "matching/OverlapHierarchyBuilder.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <optional>

#include "matching/HierarchyLayout.h"

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
std::unique_ptr<HierarchyNode> WindowedTree(int reference, const std::vector<int>& members,
                                            const HierarchyLayout& layout, double W, std::vector<char>& used,
                                            std::span<const ImageCombination> pairs,
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

struct TurnInput {
    std::span<const ImageCombination> pairs;
    const std::vector<std::vector<int>>& pairsOfImage;
    const std::vector<int>& matched;
    int imageCount;
    int reference;
    double width;  // the reference photograph's
};

// Whether two matched members lie more than three photographs apart in the layout: the ends of
// a full turn. Marks such pairs in transitions and keeps the one with most points in best.
bool ClosesTurn(const TurnInput& in, const std::vector<int>& members, const HierarchyLayout& layout,
                std::vector<char>* transitions, int* best) {
    bool any = false;
    for (int a : members)
        for (int b : members) {
            int k = PairIndex(a, b, in.imageCount);
            if (a == b || k < 0 || static_cast<size_t>(k) >= in.pairs.size() || !in.pairs[k].matched ||
                !(std::fabs(layout.X(b) - layout.X(a)) > 3 * in.width))
                continue;
            any = true;
            if (transitions) {
                (*transitions)[k] = 1;
                if (*best < 0 || in.pairs[k].P.size() > in.pairs[*best].P.size())
                    *best = k;
            }
        }
    return any;
}

// The tree of the transition pairs, rooted at the image of the closing pair that lies further
// along the turn.
std::unique_ptr<HierarchyNode> TransitionTree(const TurnInput& in, const std::vector<char>& transitions,
                                              const ImageCombination& closing, const HierarchyLayout& layout) {
    int right = layout.X(closing.first) > layout.X(closing.second) ? closing.first : closing.second;
    std::unique_ptr<HierarchyNode> tree = Root(right);
    std::vector<char> onlyTransitions(in.pairs.size(), 1);
    for (size_t k = 0; k < in.pairs.size(); ++k)
        if (transitions[k])
            onlyTransitions[k] = 0;
    Grow(tree.get(), onlyTransitions, in.pairs, in.pairsOfImage);
    return tree;
}

// The main tree without the pairs that close the turn, and the tree of those pairs: a first
// windowed tree lays the turn out once, the pairs spanning it become the transitions, and a
// second windowed tree avoids them. False where the layout does not show the turn consistently.
bool BuildClosedTurn(const TurnInput& in, const HierarchyNode& referenceTree, OverlapHierarchy& result) {
    const auto layOut = [](const HierarchyNode* tree) { return LayOutByCentroids(tree); };
    const std::vector<int> L = referenceTree.DistinctImages();
    std::vector<char> used(in.pairs.size(), 0);
    std::unique_ptr<HierarchyNode> first =
        WindowedTree(in.reference, L, layOut(&referenceTree), in.width, used, in.pairs, in.pairsOfImage, in.matched);
    if (first->DistinctImages().size() != L.size())
        return false;
    const HierarchyLayout firstLayout = layOut(first.get());
    std::vector<char> transitions(in.pairs.size(), 0);
    int best = -1;
    if (!ClosesTurn(in, first->DistinctImages(), firstLayout, &transitions, &best))
        return false;
    first.reset();
    std::vector<char> usedSecond = transitions;
    std::unique_ptr<HierarchyNode> mainTree =
        WindowedTree(in.reference, L, firstLayout, in.width, usedSecond, in.pairs, in.pairsOfImage, in.matched);
    if (mainTree->DistinctImages().size() != L.size())
        return false;
    const HierarchyLayout mainLayout = layOut(mainTree.get());
    result.transitionTree = TransitionTree(in, transitions, in.pairs[best], mainLayout);
    result.mainTree = std::move(mainTree);
    return true;
}

// How far apart in elevation the photographs that are not polar lie, in pixels.
double ElevationSpread(const HierarchyLayout& layout) {
    double low = 0, high = 0;
    for (const auto& [image, position] : layout.position)
        if (!layout.polar.count(image)) {
            low = std::min(low, position.y);
            high = std::max(high, position.y);
        }
    return high - low;
}

// The closed turn of several rows or a sphere: laid out by the pair rotations, whose unrolled
// turns are consistent along the whole tree, the transitions are the pairs whose images lie
// more than half a turn apart there (polar photographs, whose turn means nothing, never make
// one), and the main tree is grown without them. The layout is the one to place the cameras
// on the turn by.
bool BuildClosedTurnByRotations(const TurnInput& in, const HierarchyNode& referenceTree, const HierarchyLayout& layout,
                                OverlapHierarchy& result) {
    const std::vector<int> L = referenceTree.DistinctImages();
    std::vector<char> transitions(in.pairs.size(), 0);
    int best = -1;
    for (int k : in.matched) {
        const ImageCombination& pair = in.pairs[k];
        if (!InList(L, pair.first) || !InList(L, pair.second) || layout.polar.count(pair.first) ||
            layout.polar.count(pair.second) ||
            !(std::fabs(layout.X(pair.first) - layout.X(pair.second)) > layout.turnLength / 2))
            continue;
        transitions[k] = 1;
        if (best < 0 || pair.P.size() > in.pairs[best].P.size())
            best = k;
    }
    if (best < 0)
        return false;
    std::unique_ptr<HierarchyNode> mainTree = Root(in.reference);
    std::vector<char> used = transitions;
    Grow(mainTree.get(), used, in.pairs, in.pairsOfImage);
    if (mainTree->DistinctImages().size() != L.size())
        return false;
    result.transitionTree = TransitionTree(in, transitions, in.pairs[best], layout);
    result.mainTree = std::move(mainTree);
    return true;
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
        HierarchyLayout layout = LayOutByCentroids(largestTree.get());
        std::vector<int> order = largestTree->DistinctImages();
        int leftmost = order[0];
        for (int image : order)
            if (layout.X(image) < layout.X(leftmost))
                leftmost = image;
        referenceIndex = leftmost;
    }
    result.referenceIndex = referenceIndex;

    const std::unique_ptr<HierarchyNode> referenceTree = GrowImageTree(referenceIndex, combinations, pairsOfImage);
    const TurnInput turnInput{
        combinations, pairsOfImage, matched, n, referenceIndex, input.imageWidths[static_cast<size_t>(referenceIndex)]};
    // A single row is laid out by its pairs' centroid offsets; several rows and spheres, and a
    // row where that layout does not show a consistent turn, by the chained pair rotations about
    // the vertical; where neither shows the turn, the photographs are stitched as an open set.
    const std::vector<int> L = referenceTree->DistinctImages();
    std::optional<HierarchyLayout> byRotations;
    if (ClosesTurn(turnInput, L, LayOutByCentroids(referenceTree.get()), nullptr, nullptr)) {
        const HierarchyLayout rotationLayout = LayOutByRotations(referenceTree.get(), combinations);
        const size_t reference = static_cast<size_t>(referenceIndex);
        const double height = reference < input.imageHeights.size() ? input.imageHeights[reference] : turnInput.width;
        const bool severalRows = ElevationSpread(rotationLayout) > 0.5 * height;
        if (severalRows || !BuildClosedTurn(turnInput, *referenceTree, result)) {
            if (BuildClosedTurnByRotations(turnInput, *referenceTree, rotationLayout, result)) {
                byRotations = rotationLayout;
            } else {
                result.mainTree.reset();
                result.transitionTree.reset();
                result.turnLeftOpen = true;
            }
        }
    }
    if (!result.mainTree)
        result.mainTree = referenceTree->CloneSubtree();

    HierarchyLayout mainLayout = byRotations ? *byRotations : LayOutByCentroids(result.mainTree.get());
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
