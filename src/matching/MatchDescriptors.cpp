#include "matching/MatchDescriptors.h"

#include <cstddef>

#include "matching/DescriptorTree.h"
#include "matching/VectorOps.h"

void MatchDescriptors(const std::vector<Descriptor>& A, const std::vector<Descriptor>& B,
                      const std::vector<PointD>& pointsA, const std::vector<PointD>& pointsB, std::vector<PointD>& P,
                      std::vector<PointD>& Q, double minCorrelation) {
    P.clear();
    Q.clear();
    DescriptorTree tree;
    tree.Build(A);
    if (tree.Empty())
        return;
    const double minSquared = minCorrelation * minCorrelation;
    for (size_t i = 0; i < B.size(); ++i) {
        std::vector<DescriptorTree::Result> nearest = tree.FindNearest(B[i], 2, 20);
        if (nearest.size() < 2 || !(nearest[0].distance < 0.25f * nearest[1].distance))
            continue;
        int j = nearest[0].index;
        if (!(SquaredCorrelation(A[static_cast<size_t>(j)], B[i]) > minSquared))
            continue;
        P.push_back(pointsA[static_cast<size_t>(j)]);
        Q.push_back(pointsB[i]);
    }
}
