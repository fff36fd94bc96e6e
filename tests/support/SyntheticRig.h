#pragma once

// Hand-made overlap hierarchy trees from known cameras: corresponding points are exact
// projections of common directions, the edge transfers come from the true cameras (optionally
// with a pair fit's typical error) and the layout follows the points like the matching's.

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>
#include <vector>

#include "linalg/CMatrix.h"
#include "linalg/PointD.h"
#include "matching/HierarchyNode.h"
#include "stitching/ImageSize.h"
#include "stitching/Rotations.h"

namespace rig {

inline double Radians(double degrees) { return degrees * std::numbers::pi / 180; }

inline CMatrix Intrinsics(double f, const ImageSize& size) {
    const double k[9] = {f, 0, size.width / 2, 0, f, size.height / 2, 0, 0, 1};
    return CMatrix(3, 3, k);
}

inline CMatrix IntrinsicsInverse(double f, const ImageSize& size) {
    const double k[9] = {1 / f, 0, -size.width / 2 / f, 0, 1 / f, -size.height / 2 / f, 0, 0, 1};
    return CMatrix(3, 3, k);
}

// The angle (degrees) of the rotation A^T B.
inline double AngleBetween(const CMatrix& A, const CMatrix& B) {
    CMatrix D = A.Transpose() * B;
    double c = (D(0, 0) + D(1, 1) + D(2, 2) - 1) / 2;
    return std::acos(std::clamp(c, -1.0, 1.0)) * 180 / std::numbers::pi;
}

struct Rig {
    double f = 1000;
    std::vector<ImageSize> sizes;
    std::vector<CMatrix> rotations;  // camera -> world, per image
    std::unique_ptr<HierarchyNode> mainTree;
    std::unique_ptr<HierarchyNode> transitionTree;
    int pointsPerEdge = 40;

    int AddImage(const CMatrix& rotation, ImageSize size = {800, 600}) {
        sizes.push_back(size);
        rotations.push_back(rotation);
        return static_cast<int>(sizes.size()) - 1;
    }

    // child -> parent pixels through the true cameras.
    CMatrix TrueTransfer(int child, int parent, double focal) const {
        return Intrinsics(focal, sizes[parent]) * rotations[parent].Transpose() * rotations[child] *
               IntrinsicsInverse(focal, sizes[child]);
    }

    static std::unique_ptr<HierarchyNode> Root(int image) {
        auto node = std::make_unique<HierarchyNode>();
        node->image = image;
        return node;
    }

    // Appends a node of `child` under `parent` with exact point pairs that both images see.
    HierarchyNode* Link(HierarchyNode* parent, int child) {
        auto node = std::make_unique<HierarchyNode>();
        node->image = child;
        const int p = parent->image;
        CMatrix ray = rotations[p].Transpose() * rotations[child] * IntrinsicsInverse(f, sizes[child]);
        CMatrix Kp = Intrinsics(f, sizes[p]);
        std::vector<PointD> inChild, inParent;
        for (double y = 5; y < sizes[child].height - 5; y += 9)
            for (double x = 5; x < sizes[child].width - 5; x += 9) {
                double d[3];
                for (int i = 0; i < 3; ++i)
                    d[i] = ray(i, 0) * x + ray(i, 1) * y + ray(i, 2);
                if (d[2] <= 0)
                    continue;
                double u = Kp(0, 0) * d[0] / d[2] + Kp(0, 2), v = Kp(1, 1) * d[1] / d[2] + Kp(1, 2);
                if (u < 5 || v < 5 || u > sizes[p].width - 5 || v > sizes[p].height - 5)
                    continue;
                inChild.push_back({x, y});
                inParent.push_back({u, v});
            }
        // An even selection of the visible points.
        const size_t n = std::min(inChild.size(), static_cast<size_t>(pointsPerEdge));
        for (size_t k = 0; k < n; ++k) {
            size_t at = k * inChild.size() / n;
            node->childPoints.push_back(inChild[at]);
            node->parentPoints.push_back(inParent[at]);
        }
        node->toParent = TrueTransfer(child, p, f);
        node->fromParent = node->toParent.Inverse();
        return parent->AppendChild(std::move(node));
    }

    // Every edge transfer of both trees as a pair fit might leave it: the focal length off by a
    // relative focalError and an extra turn of angleError degrees; the points stay exact.
    void PerturbTransfers(double focalError, double angleError) {
        for (HierarchyNode* tree : {mainTree.get(), transitionTree.get()})
            if (tree)
                ForEachPreOrder(tree->firstChild, [&](const HierarchyNode* constNode) {
                    auto* node = const_cast<HierarchyNode*>(constNode);
                    const int c = node->image, p = node->parent->image;
                    const double focal = f * (1 + focalError);
                    node->toParent = Intrinsics(focal, sizes[p]) * Rx(Radians(angleError)) * rotations[p].Transpose() *
                                     rotations[c] * IntrinsicsInverse(focal, sizes[c]);
                    node->fromParent = node->toParent.Inverse();
                });
    }

    // One position per distinct image of mainTree in pre-order: parent's position plus the
    // difference of the edge's point centroids, at the first visit.
    std::vector<PointD> Layout() const {
        std::vector<int> order = mainTree->DistinctImages();
        std::vector<PointD> at(sizes.size());
        std::vector<bool> placed(sizes.size(), false);
        placed[static_cast<size_t>(mainTree->image)] = true;
        ForEachPreOrder(mainTree->firstChild, [&](const HierarchyNode* n) {
            if (placed[static_cast<size_t>(n->image)])
                return;
            PointD cp = Centroid(n->parentPoints), cc = Centroid(n->childPoints);
            const PointD& base = at[static_cast<size_t>(n->parent->image)];
            at[static_cast<size_t>(n->image)] = {base.x + cp.x - cc.x, base.y + cp.y - cc.y};
            placed[static_cast<size_t>(n->image)] = true;
        });
        std::vector<PointD> positions;
        for (int image : order)
            positions.push_back(at[static_cast<size_t>(image)]);
        return positions;
    }
};

// Five images 30 degrees apart in a row, slightly rolled and pitched, as a chain.
inline Rig Row(int pointsPerEdge = 40) {
    Rig r;
    r.pointsPerEdge = pointsPerEdge;
    for (int k = 0; k < 5; ++k)
        r.AddImage(Ry(Radians(30.0 * k)) * Rx(Radians(1.5 * (k % 2))) * Rz(Radians(-1.0 * k)));
    r.mainTree = Rig::Root(0);
    HierarchyNode* node = r.mainTree.get();
    for (int k = 1; k < 5; ++k)
        node = r.Link(node, k);
    return r;
}

// Twelve images 30 degrees apart closing a circle on a tilted tripod: the chain 0 -> 11 is the
// main tree, the pair 11-0 the transition tree rooted at 11.
inline Rig Ring(int pointsPerEdge = 40) {
    Rig r;
    r.pointsPerEdge = pointsPerEdge;
    CMatrix tripod = Rz(Radians(2)) * Rx(Radians(-4));
    for (int k = 0; k < 12; ++k)
        r.AddImage(tripod * Ry(Radians(30.0 * k)) * Rx(Radians(0.5 * (k % 3))));
    r.mainTree = Rig::Root(0);
    HierarchyNode* node = r.mainTree.get();
    for (int k = 1; k < 12; ++k)
        node = r.Link(node, k);
    r.transitionTree = Rig::Root(11);
    r.Link(r.transitionTree.get(), 0);
    return r;
}

// Two rows of four, 30 degrees apart sideways and 24 degrees up and down; image 5 is reached
// both from above (1) and from the left (4).
inline Rig Grid(int pointsPerEdge = 40) {
    Rig r;
    r.pointsPerEdge = pointsPerEdge;
    for (int row = 0; row < 2; ++row)
        for (int col = 0; col < 4; ++col)
            r.AddImage(Ry(Radians(30.0 * col)) * Rx(Radians(row == 0 ? 12 : -12)));
    r.mainTree = Rig::Root(0);
    HierarchyNode* root = r.mainTree.get();
    HierarchyNode* one = r.Link(root, 1);
    HierarchyNode* four = r.Link(root, 4);
    HierarchyNode* two = r.Link(one, 2);
    r.Link(two, 3);
    r.Link(one, 5);
    HierarchyNode* five = r.Link(four, 5);
    HierarchyNode* six = r.Link(five, 6);
    r.Link(six, 7);
    return r;
}

// `rows` rows of `columns` images around a full turn on a tilted tripod, `pitchStep` degrees
// apart in pitch (the rows centred on the horizon). The main tree runs along the middle row
// and from each of its images up and down its column; the transition tree closes the middle
// row's circle.
inline Rig MultiRowRing(int rows, int columns, double pitchStep, int pointsPerEdge = 40) {
    Rig r;
    r.pointsPerEdge = pointsPerEdge;
    CMatrix tripod = Rz(Radians(1.5)) * Rx(Radians(-3));
    auto at = [columns](int row, int column) { return row * columns + column; };
    for (int row = 0; row < rows; ++row)
        for (int column = 0; column < columns; ++column)
            r.AddImage(tripod * Ry(Radians(360.0 * column / columns)) *
                       Rx(Radians(pitchStep * (row - (rows - 1) / 2.0)) + Radians(0.3 * (column % 3))));
    const int middle = rows / 2;
    r.mainTree = Rig::Root(at(middle, 0));
    HierarchyNode* along = r.mainTree.get();
    for (int column = 0; column < columns; ++column) {
        if (column > 0)
            along = r.Link(along, at(middle, column));
        HierarchyNode* node = along;
        for (int row = middle - 1; row >= 0; --row)
            node = r.Link(node, at(row, column));
        node = along;
        for (int row = middle + 1; row < rows; ++row)
            node = r.Link(node, at(row, column));
    }
    r.transitionTree = Rig::Root(at(middle, columns - 1));
    r.Link(r.transitionTree.get(), at(middle, 0));
    return r;
}

}  // namespace rig
