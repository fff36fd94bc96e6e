// The pairs a large set matches in full: the quick vote, the pairs the fitted rotations predict
// to overlap, and the pairs left to try for photographs outside the largest group.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <utility>
#include <vector>

#include "matching/CandidatePairs.h"
#include "matching/PredictedOverlaps.h"

namespace {

using PairList = std::vector<std::pair<int, int>>;

Descriptor RandomDescriptor(std::mt19937& random) {
    std::uniform_real_distribution<float> value(0, 1);
    Descriptor d;
    for (float& v : d.values)
        v = value(random);
    return d;
}

ImageCombination Pair(int first, int second, bool matched, double yawDegrees = 0) {
    ImageCombination c;
    c.first = first;
    c.second = second;
    c.matched = matched;
    c.f = 500;
    c.phi = yawDegrees * std::numbers::pi / 180;
    return c;
}

// Every pair of n photographs in the project's order, (0, 1), (0, 2), ..., (n - 2, n - 1).
std::vector<ImageCombination> AllPairs(int n) {
    std::vector<ImageCombination> pairs;
    for (int i = 0; i < n; ++i)
        for (int j = i + 1; j < n; ++j)
            pairs.push_back(Pair(i, j, false));
    return pairs;
}

ImageCombination& Find(std::vector<ImageCombination>& pairs, int i, int j) {
    for (ImageCombination& c : pairs)
        if (c.first == i && c.second == j)
            return c;
    throw "no such pair";
}

}  // namespace

TEST(CandidatePairs, TheVoteKeepsThePhotographsThatShareFeatures) {
    // A row of eight: neighbours share 120 features (slightly disturbed), each photograph has 200
    // of its own; the first and the last share nothing.
    std::mt19937 random(5);
    std::normal_distribution<float> noise(0, 0.002f);
    std::vector<std::vector<Descriptor>> lists(8);
    for (int i = 0; i + 1 < 8; ++i)
        for (int k = 0; k < 120; ++k) {
            Descriptor d = RandomDescriptor(random), e = d;
            for (float& v : e.values)
                v += noise(random);
            lists[static_cast<size_t>(i)].push_back(d);
            lists[static_cast<size_t>(i + 1)].push_back(e);
        }
    for (std::vector<Descriptor>& list : lists) {
        for (int k = 0; k < 200; ++k)
            list.push_back(RandomDescriptor(random));
        std::shuffle(list.begin(), list.end(), random);
    }
    std::vector<const std::vector<Descriptor>*> pointers;
    for (const std::vector<Descriptor>& list : lists)
        pointers.push_back(&list);
    const PairList ranked = RankCandidatePairs(pointers);
    for (int i = 0; i + 1 < 8; ++i)
        EXPECT_NE(std::find(ranked.begin(), ranked.end(), std::pair{i, i + 1}), ranked.end()) << i;
    for (const auto& [a, b] : ranked)
        EXPECT_EQ(b, a + 1) << "only neighbours share features: " << a << "-" << b;

    // Each photograph keeps at most its best partners.
    const PairList one = RankCandidatePairs(pointers, {200, 1});
    EXPECT_LE(one.size(), 8u);
    EXPECT_GE(one.size(), 4u);
    EXPECT_TRUE(RankCandidatePairs(std::vector<const std::vector<Descriptor>*>{}).empty());
}

TEST(CandidatePairs, FittedRotationsPredictTheOverlapsNotYetMatched) {
    // Six photographs 30 degrees apart (640 x 480 at f 500: 77 degrees across their two half
    // diagonals), matched only to their neighbours.
    const int n = 6;
    std::vector<ImageCombination> pairs = AllPairs(n);
    std::vector<char> tried(pairs.size(), 0);
    for (int i = 0; i + 1 < n; ++i)
        Find(pairs, i, i + 1) = Pair(i, i + 1, true, 30);
    for (size_t k = 0; k < pairs.size(); ++k)
        tried[k] = pairs[k].matched;
    const std::vector<double> widths(n, 640), heights(n, 480);
    PairList predicted = PredictOverlappingPairs(pairs, tried, widths, heights);
    // 60 degrees apart overlap, 90 do not.
    EXPECT_EQ(predicted, (PairList{{0, 2}, {1, 3}, {2, 4}, {3, 5}}));
    // A pair already tried (matched or not) is not predicted again.
    tried[static_cast<size_t>(&Find(pairs, 1, 3) - pairs.data())] = 1;
    predicted = PredictOverlappingPairs(pairs, tried, widths, heights);
    EXPECT_EQ(predicted, (PairList{{0, 2}, {2, 4}, {3, 5}}));
    // A longer lens: 30 degrees apart is the most that still overlaps.
    const std::vector<double> narrow(n, 300), low(n, 200);
    EXPECT_TRUE(PredictOverlappingPairs(pairs, tried, narrow, low).empty());

    // Two groups do not predict each other.
    std::vector<ImageCombination> split = AllPairs(4);
    Find(split, 0, 1) = Pair(0, 1, true, 10);
    Find(split, 2, 3) = Pair(2, 3, true, 10);
    std::vector<char> none(split.size(), 0);
    for (size_t k = 0; k < split.size(); ++k)
        none[k] = split[k].matched;
    EXPECT_TRUE(PredictOverlappingPairs(split, none, {640, 640, 640, 640}, {480, 480, 480, 480}).empty());
}

TEST(CandidatePairs, StrayPhotographsAreTriedAgainstEveryOtherGroup) {
    // {0, 1, 2} connected, {3, 4} connected, 5 alone; the pair 2-5 was tried already.
    std::vector<ImageCombination> pairs = AllPairs(6);
    Find(pairs, 0, 1).matched = Find(pairs, 1, 2).matched = Find(pairs, 3, 4).matched = true;
    std::vector<char> tried(pairs.size(), 0);
    for (size_t k = 0; k < pairs.size(); ++k)
        tried[k] = pairs[k].matched;
    tried[static_cast<size_t>(&Find(pairs, 2, 5) - pairs.data())] = 1;
    const PairList expected = {{0, 3}, {0, 4}, {0, 5}, {1, 3}, {1, 4}, {1, 5}, {2, 3}, {2, 4}, {3, 5}, {4, 5}};
    EXPECT_EQ(PairsOfStrayPhotographs(pairs, tried, 6), expected);
    // One group: nothing left to try.
    for (ImageCombination& c : pairs)
        c.matched = true;
    EXPECT_TRUE(PairsOfStrayPhotographs(pairs, tried, 6).empty());
}
