#include "matching/PredictedOverlaps.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "matching/HierarchyLayout.h"
#include "matching/OverlapHierarchyBuilder.h"

namespace {

std::vector<std::vector<int>> MatchedPairsOfEachImage(std::span<const ImageCombination> pairs, int n) {
    std::vector<std::vector<int>> pairsOfImage(static_cast<size_t>(n));
    for (size_t k = 0; k < pairs.size(); ++k)
        if (pairs[k].matched) {
            pairsOfImage[static_cast<size_t>(pairs[k].first)].push_back(static_cast<int>(k));
            pairsOfImage[static_cast<size_t>(pairs[k].second)].push_back(static_cast<int>(k));
        }
    return pairsOfImage;
}

using Rotation = std::array<double, 9>;  // world to camera, row major

// Whether a grid of 11 x 11 pixels of photograph `from` (its border included), turned into
// photograph `to`, puts a pixel inside it.
bool GridLandsInside(const Rotation& from, double fromWidth, double fromHeight, const Rotation& to, double toWidth,
                     double toHeight, double f) {
    constexpr int kSteps = 10;
    for (int i = 0; i <= kSteps; ++i)
        for (int j = 0; j <= kSteps; ++j) {
            const double x = (fromWidth * i / kSteps - fromWidth / 2) / f;
            const double y = (fromHeight * j / kSteps - fromHeight / 2) / f;
            // The ray in the world (from^T (x, y, 1)), then in `to`.
            double world[3];
            for (int k = 0; k < 3; ++k)
                world[k] = from[k] * x + from[3 + k] * y + from[6 + k];
            double ray[3];
            for (int k = 0; k < 3; ++k)
                ray[k] = to[3 * k] * world[0] + to[3 * k + 1] * world[1] + to[3 * k + 2] * world[2];
            if (!(ray[2] > 0))
                continue;
            const double u = f * ray[0] / ray[2] + toWidth / 2, v = f * ray[1] / ray[2] + toHeight / 2;
            if (u >= 0 && u <= toWidth && v >= 0 && v <= toHeight)
                return true;
        }
    return false;
}

}  // namespace

std::vector<std::pair<int, int>> PredictOverlappingPairs(std::span<const ImageCombination> pairs,
                                                         const std::vector<char>& tried,
                                                         const std::vector<double>& widths,
                                                         const std::vector<double>& heights) {
    const int n = static_cast<int>(widths.size());
    const std::vector<std::vector<int>> pairsOfImage = MatchedPairsOfEachImage(pairs, n);
    std::map<std::pair<int, int>, size_t> index;
    for (size_t k = 0; k < pairs.size(); ++k)
        index[{pairs[k].first, pairs[k].second}] = k;
    const std::vector<int> group = GroupOfEachImage(n, pairsOfImage, pairs);
    std::vector<std::pair<int, int>> predicted;
    for (int root = 0; root < n; ++root) {
        if (group[static_cast<size_t>(root)] != root || pairsOfImage[static_cast<size_t>(root)].empty())
            continue;
        const auto tree = GrowImageTree(root, pairs, pairsOfImage);
        const std::map<int, std::array<double, 9>> rotation = ChainedPairRotations(tree.get(), pairs);
        const double f = MedianPairFocalLength(tree.get(), pairs);
        auto halfDiagonal = [&](int image) {
            return std::atan(std::hypot(widths[static_cast<size_t>(image)], heights[static_cast<size_t>(image)]) /
                             (2 * f));
        };
        for (auto a = rotation.begin(); a != rotation.end(); ++a)
            for (auto b = std::next(a); b != rotation.end(); ++b) {
                auto found = index.find({a->first, b->first});
                if (found == index.end() || tried[found->second] || pairs[found->second].matched)
                    continue;
                // Row 2 of a world-to-camera rotation: the optical axis in the world.
                const double* za = a->second.data() + 6;
                const double* zb = b->second.data() + 6;
                const double angle = std::acos(std::clamp(za[0] * zb[0] + za[1] * zb[1] + za[2] * zb[2], -1.0, 1.0));
                if (!(angle < halfDiagonal(a->first) + halfDiagonal(b->first)))
                    continue;
                const double wa = widths[static_cast<size_t>(a->first)], ha = heights[static_cast<size_t>(a->first)];
                const double wb = widths[static_cast<size_t>(b->first)], hb = heights[static_cast<size_t>(b->first)];
                if (GridLandsInside(a->second, wa, ha, b->second, wb, hb, f) ||
                    GridLandsInside(b->second, wb, hb, a->second, wa, ha, f))
                    predicted.push_back({a->first, b->first});
            }
    }
    std::sort(predicted.begin(), predicted.end());
    return predicted;
}

std::vector<std::pair<int, int>> PairsOfStrayPhotographs(std::span<const ImageCombination> pairs,
                                                         const std::vector<char>& tried, int imageCount) {
    const std::vector<int> group = GroupOfEachImage(imageCount, MatchedPairsOfEachImage(pairs, imageCount), pairs);
    std::map<int, int> size;
    for (int g : group)
        ++size[g];
    int largest = group.empty() ? -1 : group[0];
    for (const auto& [g, count] : size)
        if (count > size[largest])
            largest = g;
    std::vector<std::pair<int, int>> result;
    for (size_t k = 0; k < pairs.size(); ++k) {
        const int a = group[static_cast<size_t>(pairs[k].first)], b = group[static_cast<size_t>(pairs[k].second)];
        if (!tried[k] && a != b && (a != largest || b != largest))
            result.push_back({std::min(pairs[k].first, pairs[k].second), std::max(pairs[k].first, pairs[k].second)});
    }
    std::sort(result.begin(), result.end());
    return result;
}
