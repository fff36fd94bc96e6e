#include "matching/CandidatePairs.h"

#include <algorithm>
#include <map>
#include <set>

#include "matching/DescriptorTree.h"

namespace {

constexpr int kMinVotes = 2;
constexpr float kRatio = 0.25f;  // the full matching's nearest-to-second test
constexpr int kNeighbours = 6;   // enough for the two nearest of other photographs
constexpr int kDescents = 20;

}  // namespace

std::vector<std::pair<int, int>> RankCandidatePairs(std::span<const std::vector<Descriptor>* const> descriptors,
                                                    const CandidatePairSettings& settings) {
    const int n = static_cast<int>(descriptors.size());
    std::vector<Descriptor> sample;
    std::vector<int> owner;
    for (int i = 0; i < n; ++i) {
        const std::vector<Descriptor>& list = *descriptors[static_cast<size_t>(i)];
        const size_t take = std::min(list.size(), static_cast<size_t>(std::max(1, settings.descriptorsPerImage)));
        for (size_t k = 0; k < take; ++k) {
            sample.push_back(list[k * list.size() / take]);
            owner.push_back(i);
        }
    }
    DescriptorTree tree;
    tree.Build(sample);
    if (tree.Empty())
        return {};

    std::map<std::pair<int, int>, int> votes;
    for (size_t q = 0; q < sample.size(); ++q) {
        const int self = owner[q];
        std::vector<DescriptorTree::Result> nearest;
        for (const DescriptorTree::Result& r : tree.FindNearest(sample[q], kNeighbours, kDescents))
            if (owner[static_cast<size_t>(r.index)] != self && nearest.size() < 2)
                nearest.push_back(r);
        if (nearest.size() < 2 || !(nearest[0].distance < kRatio * nearest[1].distance))
            continue;
        const int other = owner[static_cast<size_t>(nearest[0].index)];
        ++votes[{std::min(self, other), std::max(self, other)}];
    }

    std::vector<std::vector<std::pair<int, int>>> partners(static_cast<size_t>(n));  // (votes, partner)
    for (const auto& [pair, count] : votes)
        if (count >= kMinVotes) {
            partners[static_cast<size_t>(pair.first)].push_back({count, pair.second});
            partners[static_cast<size_t>(pair.second)].push_back({count, pair.first});
        }
    std::set<std::pair<int, int>> chosen;
    for (int i = 0; i < n; ++i) {
        std::vector<std::pair<int, int>>& list = partners[static_cast<size_t>(i)];
        // Most votes first; among equals the nearer index, so that the ranking is repeatable.
        std::sort(list.begin(), list.end(), [](const auto& a, const auto& b) {
            return a.first != b.first ? a.first > b.first : a.second < b.second;
        });
        for (size_t k = 0; k < list.size() && k < static_cast<size_t>(settings.pairsPerImage); ++k)
            chosen.insert({std::min(i, list[k].second), std::max(i, list[k].second)});
    }
    return {chosen.begin(), chosen.end()};
}
