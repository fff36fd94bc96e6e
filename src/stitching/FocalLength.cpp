#include "stitching/FocalLength.h"

#include <cmath>
#include <limits>

#include "stitching/Projection.h"
#include "stitching/Rotations.h"

bool FocalFromHomography(const CMatrix& H, Camera& camera) {
    const double x1 = H(0, 0), y1 = H(1, 0), z1 = H(2, 0);
    const double x2 = H(0, 1), y2 = H(1, 1), z2 = H(2, 1);
    const double cx = camera.principalX, cy = camera.principalY, g = camera.aspect * camera.aspect;
    // The first two columns of K^-1 H are orthogonal and of equal length for a pure rotation:
    // two homogeneous equations in (1, cx^2 + g cy^2 + g f^2) up to scale.
    CMatrix A(2, 2);
    A(0, 0) = g * y1 * y2 + x1 * x2 - (z2 * x1 + z1 * x2) * cx - (z2 * y1 + z1 * y2) * cy * g;
    A(0, 1) = z1 * z2;
    A(1, 0) =
        g * (y1 * y1 - y2 * y2) + (x1 * x1 - x2 * x2) - 2 * cx * (z1 * x1 - z2 * x2) - 2 * g * cy * (z1 * y1 - z2 * y2);
    A(1, 1) = z1 * z1 - z2 * z2;
    // The two columns differ in size by about f^2, and both shrink with the square of H's
    // scale; the decomposition's absolute tolerances would then skip the smaller one. Columns
    // of unit length give the same null direction, scaled back below.
    const double n0 = std::hypot(A(0, 0), A(1, 0)), n1 = std::hypot(A(0, 1), A(1, 1));
    if (n0 == 0 && n1 == 0) {
        camera.focalLength = 0;
        return false;
    }
    const double d0 = n0 > 0 ? n0 : 1, d1 = n1 > 0 ? n1 : 1;
    A(0, 0) /= d0;
    A(1, 0) /= d0;
    A(0, 1) /= d1;
    A(1, 1) /= d1;
    CVector s;
    CMatrix V;
    SingularValues(A, s, V);
    const double w1 = V(0, 1) / d0, w2 = V(1, 1) / d1;
    if (w1 == 0) {
        camera.focalLength = 0;
        return false;
    }
    camera.focalLength = std::sqrt((w2 - (cy * cy * g + cx * cx) * w1) / (w1 * g));
    return std::isfinite(camera.focalLength);
}

namespace {

struct Candidate {
    double focalLength = 0;
    double error = std::numeric_limits<double>::max();
};

void TryEdge(const HierarchyNode* node, const std::vector<ImageSize>& imageSizes, Candidate& best) {
    const ImageSize& size = imageSizes.at(static_cast<size_t>(node->image));
    Camera camera;
    camera.Initialise(size.width, size.height);
    const CMatrix& H = node->toParent;
    if (!FocalFromHomography(H, camera) || !(camera.focalLength > 0))
        return;
    camera.UpdateIntrinsics();
    CMatrix R = NearestRotation(camera.KInverse * H * camera.K);
    CMatrix model = camera.K * R * camera.KInverse;
    const size_t n = node->childPoints.size();
    if (n == 0 || node->parentPoints.size() != n)
        return;
    double sum = 0;
    for (size_t k = 0; k < n; ++k) {
        PointD m = MapHomogeneous(model, node->childPoints[k].x, node->childPoints[k].y);
        const PointD& p = node->parentPoints[k];
        sum += (m.x - p.x) * (m.x - p.x) + (m.y - p.y) * (m.y - p.y);
    }
    const double mean = sum / static_cast<double>(n);
    if (best.error > mean) {
        best.error = mean;
        best.focalLength = camera.focalLength;
    }
}

}  // namespace

double InitialFocalLength(const HierarchyNode* mainTree, const HierarchyNode* transitionTree,
                          const std::vector<ImageSize>& imageSizes) {
    Candidate best;
    for (const HierarchyNode* tree : {mainTree, transitionTree})
        if (tree)
            ForEachPreOrder(tree->firstChild, [&](const HierarchyNode* node) { TryEdge(node, imageSizes, best); });
    return best.focalLength;
}
