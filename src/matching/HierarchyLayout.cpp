#include "matching/HierarchyLayout.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <vector>

#include "linalg/CMatrix.h"
#include "linalg/CVector.h"
#include "matching/PairRotationModel.h"

namespace {

void Extend(HierarchyLayout& layout, double x) {
    layout.xmin = std::min(layout.xmin, x);
    layout.xmax = std::max(layout.xmax, x);
}

}  // namespace

// Walks the nodes in the order the layout was defined with: a node's siblings before its
// children, then the children of the nearest earlier sibling up the tree.
HierarchyLayout LayOutByCentroids(const HierarchyNode* root) {
    HierarchyLayout layout;
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
            Extend(layout, here.x);
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

namespace {

// Photographs whose optical axis lies within 30 degrees of the zenith or the nadir.
constexpr double kPolarElevation = 60 * std::numbers::pi / 180;

using Vec3 = std::array<double, 3>;
using Mat3 = std::array<double, 9>;  // row major

Mat3 Multiply(const Mat3& a, const Mat3& b) {
    Mat3 c{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k)
                c[3 * i + j] += a[3 * i + k] * b[3 * k + j];
    return c;
}

Mat3 Transposed(const Mat3& a) { return {a[0], a[3], a[6], a[1], a[4], a[7], a[2], a[5], a[8]}; }

// Row r of a world-to-camera rotation: camera axis r in world coordinates.
Vec3 Axis(const Mat3& toCamera, int r) { return {toCamera[3 * r], toCamera[3 * r + 1], toCamera[3 * r + 2]}; }

double Dot(const Vec3& a, const Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

Vec3 Cross(const Vec3& a, const Vec3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

Vec3 Normalized(Vec3 v) {
    double n = std::sqrt(Dot(v, v));
    return n > 0 ? Vec3{v[0] / n, v[1] / n, v[2] / n} : v;
}

// The direction most nearly perpendicular to every camera's horizontal axis, pointing as the
// root's downward image axis does; the root's own downward axis where the cameras do not pin
// it down (one column of photographs).
Vec3 Downward(const std::map<int, Mat3>& rotation) {
    double sums[9] = {};
    for (const auto& entry : rotation) {
        Vec3 x = Axis(entry.second, 0);
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                sums[3 * i + j] += x[i] * x[j];
    }
    const CMatrix scatter(3, 3, sums);
    CVector s;
    CMatrix U, V;
    SvdSorted(scatter, s, U, V);
    if (!(s[1] > 4 * s[2]))
        return {0, 1, 0};
    Vec3 down{V(0, 2), V(1, 2), V(2, 2)};
    return down[1] < 0 ? Vec3{-down[0], -down[1], -down[2]} : down;
}

// The middle of the widest gap between the turns of the photographs that are not polar,
// relative to origin, within (-pi, pi].
double WidestGapMiddle(const std::map<int, double>& turn, const std::set<int>& polar, double origin) {
    const double turnAngle = 2 * std::numbers::pi;
    std::vector<double> sorted;
    for (const auto& [image, t] : turn)
        if (!polar.count(image))
            sorted.push_back(std::remainder(t - origin, turnAngle));
    if (sorted.empty())
        return std::numbers::pi;
    std::sort(sorted.begin(), sorted.end());
    double widest = sorted.front() + turnAngle - sorted.back(), middle = sorted.back() + widest / 2;
    for (size_t k = 1; k < sorted.size(); ++k)
        if (sorted[k] - sorted[k - 1] > widest) {
            widest = sorted[k] - sorted[k - 1];
            middle = sorted[k - 1] + widest / 2;
        }
    return std::remainder(middle, turnAngle);
}

}  // namespace

// A pair's rotation carries rays of its first image into its second.
std::map<int, std::array<double, 9>> ChainedPairRotations(const HierarchyNode* root,
                                                          std::span<const ImageCombination> pairs) {
    std::map<int, Mat3> rotation;
    rotation[root->image] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    ForEachPreOrder(root->firstChild, [&](const HierarchyNode* n) {
        if (rotation.count(n->image) || n->pair < 0 || static_cast<size_t>(n->pair) >= pairs.size())
            return;
        const ImageCombination& pair = pairs[n->pair];
        Mat3 r;
        RotationEntries(pair.omega, pair.phi, pair.kappa, r.data());
        const Mat3& parent = rotation.at(n->parent->image);
        rotation[n->image] = Multiply(pair.second == n->image ? r : Transposed(r), parent);
    });
    return rotation;
}

double MedianPairFocalLength(const HierarchyNode* root, std::span<const ImageCombination> pairs) {
    std::vector<double> f;
    ForEachPreOrder(root->firstChild, [&](const HierarchyNode* n) {
        if (n->pair >= 0 && static_cast<size_t>(n->pair) < pairs.size() && pairs[n->pair].f > 0)
            f.push_back(pairs[n->pair].f);
    });
    if (f.empty())
        return 1;
    std::nth_element(f.begin(), f.begin() + static_cast<long>(f.size() / 2), f.end());
    return f[f.size() / 2];
}

HierarchyLayout LayOutByRotations(const HierarchyNode* root, std::span<const ImageCombination> pairs) {
    const std::map<int, Mat3> rotation = ChainedPairRotations(root, pairs);
    const Vec3 down = Downward(rotation);
    // The root's optical axis made horizontal; its downward image axis where it looks straight
    // up or down.
    Vec3 forward{-down[2] * down[0], -down[2] * down[1], 1 - down[2] * down[2]};
    if (forward[2] < 1e-6)
        forward = {-down[1] * down[0], -down[1] * down[1] + 1, -down[1] * down[2]};
    forward = Normalized(forward);
    const Vec3 right = Cross(down, forward);
    const double f = MedianPairFocalLength(root, pairs);

    HierarchyLayout layout;
    layout.turnLength = 2 * std::numbers::pi * f;
    std::map<int, double> turn, elevation;
    for (const auto& [image, toCamera] : rotation) {
        Vec3 axis = Axis(toCamera, 2);
        turn[image] = std::atan2(Dot(axis, right), Dot(axis, forward));
        elevation[image] = std::asin(std::clamp(Dot(axis, down), -1.0, 1.0));
        if (std::fabs(elevation[image]) > kPolarElevation)
            layout.polar.insert(image);
    }

    // The turn is cut in the middle of the widest gap between the photographs' turns, so that
    // no photograph lies near the cut, and unrolled from there with the root at zero.
    const double cut = WidestGapMiddle(turn, layout.polar, turn[root->image]);
    std::map<int, double> unrolled;
    for (const auto& [image, t] : turn) {
        const double relative = std::remainder(t - turn[root->image], 2 * std::numbers::pi);
        unrolled[image] = cut > 0 ? (relative <= cut ? relative : relative - 2 * std::numbers::pi)
                                  : (relative > cut ? relative : relative + 2 * std::numbers::pi);
    }

    for (int image : root->DistinctImages()) {
        PointD& here = layout.position[image];
        if (!unrolled.count(image))
            continue;
        here = {f * unrolled[image], f * (elevation[image] - elevation[root->image])};
        if (image != root->image)
            Extend(layout, here.x);
    }
    return layout;
}
