#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "engine/PanoramaEngine.h"
#include "support/EngineFixture.h"
#include "xml/XmlDocument.h"

namespace {

PanoramaEngine Images(int n) {
    PanoramaEngine engine;
    EngineFixture::SetImages(engine, n, 100, 100);
    return engine;
}

// Matches a with b so that the layout puts b dx to the right of a.
void Link(PanoramaEngine& engine, int a, int b, double dx, int count = 20, double error = 0.5) {
    ImageCombination& pair = EngineFixture::Pair(engine, a, b);
    pair.matched = true;
    pair.error = error;
    pair.P.clear();
    pair.Q.clear();
    for (int k = 0; k < count; ++k) {
        PointD inA{50 + dx + (k % 5), 50.0 + k};
        PointD inB{50.0 + (k % 5), 50.0 + k};
        if (pair.first == a) {
            pair.P.push_back(inA);
            pair.Q.push_back(inB);
        } else {
            pair.P.push_back(inB);
            pair.Q.push_back(inA);
        }
    }
}

std::vector<int> ChildImages(const HierarchyNode* node) {
    std::vector<int> images;
    for (const HierarchyNode* c = node->firstChild; c; c = c->nextSibling)
        images.push_back(c->image);
    return images;
}

std::set<std::pair<int, int>> Edges(const HierarchyNode* root) {
    std::set<std::pair<int, int>> edges;
    ForEachPreOrder(root->firstChild, [&](const HierarchyNode* n) {
        edges.insert({std::min(n->image, n->parent->image), std::max(n->image, n->parent->image)});
    });
    return edges;
}

}  // namespace

TEST(Hierarchy, ChainGivesTreesAndTheLeftmostReference) {
    PanoramaEngine engine = Images(3);
    EXPECT_EQ(engine.CombinationIndex(2, 1), 2);
    EXPECT_EQ(engine.CombinationIndex(1, 1), -1);
    Link(engine, 0, 1, 80);
    Link(engine, 1, 2, 80);
    ASSERT_TRUE(engine.BuildOverlapHierarchyTrees());
    const HierarchyNode* t0 = engine.ImageTree(0);
    EXPECT_EQ(ChildImages(t0), std::vector<int>({1}));
    EXPECT_EQ(ChildImages(t0->firstChild), std::vector<int>({2}));
    EXPECT_EQ(ChildImages(engine.ImageTree(1)), std::vector<int>({0, 2}));
    EXPECT_EQ(engine.ReferenceIndex(), 0);
    EXPECT_TRUE(engine.GetReferenceImagePath() == "img0.jpg");
    EXPECT_EQ(engine.TransitionTree(), nullptr);
    ASSERT_EQ(engine.CameraList().size(), 3u);
    EXPECT_EQ(engine.CameraList()[2].image, 2);
    EXPECT_NEAR(engine.LayoutPositions()[1].x, 80, 1e-9);
    EXPECT_NEAR(engine.LayoutPositions()[2].x, 160, 1e-9);
    // The transfer to the parent is the pair's backward transform when the child is second.
    const HierarchyNode* one = t0->firstChild;
    EXPECT_EQ(one->childPoints.size(), 20u);
    EXPECT_NEAR(one->parentPoints[0].x - one->childPoints[0].x, 80, 1e-9);

    // Placed right to left, the reference becomes the leftmost image, 2.
    PanoramaEngine mirrored = Images(3);
    Link(mirrored, 0, 1, -80);
    Link(mirrored, 1, 2, -80);
    ASSERT_TRUE(mirrored.BuildOverlapHierarchyTrees());
    EXPECT_EQ(mirrored.ReferenceIndex(), 2);
}

TEST(Hierarchy, TriangleUsesEveryPairOnce) {
    PanoramaEngine engine = Images(3);
    Link(engine, 0, 1, 60);
    Link(engine, 1, 2, 60);
    Link(engine, 0, 2, 120);
    ASSERT_TRUE(engine.BuildOverlapHierarchyTrees());
    const HierarchyNode* t0 = engine.ImageTree(0);
    EXPECT_EQ(ChildImages(t0), std::vector<int>({1, 2}));
    EXPECT_EQ(ChildImages(t0->firstChild), std::vector<int>({2}));
    EXPECT_EQ(t0->CountNodes(), 4);
    EXPECT_EQ(t0->DistinctImages().size(), 3u);
    EXPECT_NEAR(engine.LayoutPositions()[2].x, 120, 1e-9);  // from the root's child, visited first
}

TEST(Hierarchy, UserReferenceWithoutAMatchedPairIsCleared) {
    PanoramaEngine engine = Images(4);
    Link(engine, 0, 1, 80);
    Link(engine, 1, 2, 80);
    engine.SetReferenceImagePath("img1.jpg");
    EXPECT_EQ(engine.ReferenceIndex(), 1);
    engine.SetReferenceImagePath("img3.jpg");  // image 3 has no pair
    EXPECT_EQ(engine.ReferenceIndex(), 0);
    EXPECT_TRUE(engine.GetReferenceImagePath() == "img0.jpg");
    engine.SetReferenceImagePath("nowhere.jpg");
    EXPECT_EQ(engine.ReferenceIndex(), 0);

    PanoramaEngine unmatched = Images(3);
    EXPECT_FALSE(unmatched.BuildOverlapHierarchyTrees());
    EXPECT_EQ(unmatched.ImageTree(0), nullptr);
    EXPECT_EQ(unmatched.MainTree(), nullptr);
}

TEST(Hierarchy, RingClosesWithATransitionTree) {
    const int n = 12;
    PanoramaEngine engine = Images(n);
    for (int i = 0; i + 1 < n; ++i)
        Link(engine, i, i + 1, 80);
    Link(engine, n - 1, 0, 80, 30);  // the closing pair: image 0 lies to the right of image 11
    ASSERT_TRUE(engine.BuildOverlapHierarchyTrees());
    ASSERT_NE(engine.TransitionTree(), nullptr);
    ASSERT_NE(engine.MainTree(), nullptr);
    EXPECT_EQ(engine.MainTree()->DistinctImages().size(), static_cast<size_t>(n));
    EXPECT_EQ(engine.CameraList().size(), static_cast<size_t>(n));

    const HierarchyNode* root = engine.TransitionTree();
    ASSERT_NE(root->firstChild, nullptr);
    int other = root->firstChild->image;
    std::pair<int, int> transition{std::min(root->image, other), std::max(root->image, other)};
    EXPECT_EQ(Edges(engine.MainTree()).count(transition), 0u);
    // The root is the right-hand image of the transition in the main layout.
    std::vector<int> order = engine.MainTree()->DistinctImages();
    auto x = [&](int image) {
        for (size_t k = 0; k < order.size(); ++k)
            if (order[k] == image)
                return engine.LayoutPositions()[k].x;
        return -1e9;
    };
    EXPECT_GT(x(root->image), x(other));
    EXPECT_GT(x(root->image) - x(other), 300);

    std::unique_ptr<Zelvo::XmlDocument> doc = engine.HierarchyDocument("Hierarchy");
    bool transitionRootShown = false;
    for (Zelvo::XmlElement* node : doc->Root()->ChildElements("Node"))
        transitionRootShown =
            transitionRootShown || node->Attribute("item", false)->Value() ==
                                       Zelvo::Chars::Format("Image %d (360 degrees transitions)", root->image).c_str();
    EXPECT_TRUE(transitionRootShown);
}

TEST(Hierarchy, ItemTextsGroupsAndLayout) {
    PanoramaEngine engine = Images(5);
    Link(engine, 0, 3, 80, 57, 1.2345);
    Link(engine, 1, 2, 70);
    engine.SetReferenceImagePath("img0.jpg");
    ASSERT_EQ(engine.ReferenceIndex(), 0);
    std::vector<int> groups = engine.FindImageGroups();
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0], 0);
    EXPECT_TRUE(groups[1] == 1 || groups[1] == 2);

    std::unique_ptr<Zelvo::XmlDocument> doc = engine.HierarchyDocument("Hierarchy");
    std::vector<Zelvo::XmlElement*> roots = doc->Root()->ChildElements("Node");
    ASSERT_EQ(roots.size(), 2u);
    EXPECT_TRUE(roots[0]->Attribute("item", false)->Value() == "Reference image 0");
    EXPECT_TRUE(roots[0]->Attribute("path", false)->Value() == "img0.jpg");
    Zelvo::XmlElement* child = roots[0]->FindChild("Node", false);
    ASSERT_NE(child, nullptr);
    EXPECT_TRUE(child->Attribute("item", false)->Value() == "3-0: 57 matches, err:1.2");

    std::vector<PlacedImage> placed;
    std::vector<int> unplaced;
    engine.GroupLayout(placed, unplaced);
    ASSERT_EQ(placed.size(), 4u);
    EXPECT_EQ(unplaced, std::vector<int>({4}));
    EXPECT_EQ(placed[0].image, 0);
    EXPECT_NEAR(placed[0].x, 0, 1e-9);
    EXPECT_NEAR(placed[1].x, 80, 1e-9);
    EXPECT_NEAR(placed[2].y, 150, 1e-9);  // the second group starts below the first (height 100 + 50)
    EXPECT_NEAR(placed[3].y, 150, 1e-9);
    EXPECT_NEAR(std::min(placed[2].x, placed[3].x), 0, 1e-9);
}
