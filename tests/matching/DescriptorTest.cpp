#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "matching/DescriptorTree.h"
#include "matching/DominantOrientation.h"
#include "matching/FeatureExtractor.h"
#include "matching/MatchDescriptors.h"
#include "matching/VectorOps.h"

namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;

ImgFLOAT Ramp(double angle) {
    ImgFLOAT img(80, 80);
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 80; ++x)
            img.At(x, y) = static_cast<float>(100 + x * std::cos(angle) + y * std::sin(angle));
    return img;
}

double AngularDistance(double a, double b) {
    double d = std::fmod(std::fabs(a - b), kTwoPi);
    return std::min(d, kTwoPi - d);
}

Descriptor RandomDescriptor(std::mt19937& random) {
    Descriptor d;
    std::uniform_real_distribution<float> u(0, 1);
    for (float& v : d.values)
        v = u(random);
    return d;
}

}  // namespace

TEST(Descriptors, RingSampleCounts) {
    const int expected[][2] = {{1, 1}, {2, 9}, {3, 17}, {8, 49}, {10, 61}, {20, 121}, {30, 185}, {40, 249}};
    for (const auto& e : expected)
        EXPECT_EQ(RingSampleCount(e[0]), e[1]) << e[0];
    EXPECT_EQ(RingSampleCount(7) / 16, 2);  // rays below radius 8
    EXPECT_EQ(RingSampleCount(8) / 16, 3);
}

TEST(Descriptors, DominantOrientationOfRamps) {
    double angle = -1;
    ASSERT_TRUE(DominantOrientation(Ramp(0), 40, 40, 20, &angle));
    EXPECT_LT(AngularDistance(angle, 0), 1e-6);
    ASSERT_TRUE(DominantOrientation(Ramp(std::numbers::pi / 2), 40, 40, 20, &angle));
    EXPECT_NEAR(angle, std::numbers::pi / 2, 1e-6);
    // atan2 just below 0 (a direction just below 2 pi) counts in bin 0.
    ASSERT_TRUE(DominantOrientation(Ramp(-0.01), 40, 40, 20, &angle));
    EXPECT_LT(AngularDistance(angle, 0), 1e-6);
    EXPECT_GE(angle, 0);
    EXPECT_LT(angle, kTwoPi);
    ASSERT_TRUE(DominantOrientation(Ramp(2.0), 40, 40, 20, &angle));
    EXPECT_LT(AngularDistance(angle, 2.0), kTwoPi / 100);
    // Too close to the border for the disc.
    EXPECT_FALSE(DominantOrientation(Ramp(0), 20, 40, 20, &angle));
    EXPECT_FALSE(DominantOrientation(Ramp(0), 40, 59, 20, &angle));
    // A flat patch has no peak.
    ImgFLOAT flat(80, 80);
    flat.FillRect(0, 0, 79, 79, 7);
    EXPECT_FALSE(DominantOrientation(flat, 40, 40, 20, &angle));
}

TEST(Descriptors, GradientBinsAreThoseOfAtan2AlsoAtTheBinEdges) {
    auto reference = [](double gx, double gy) {
        double u = std::atan2(gy, gx);
        if (u < 0)
            u += 2 * std::numbers::pi;
        return static_cast<int>(std::lround(u * 100 / (2 * std::numbers::pi))) % 100;
    };
    std::mt19937 random(3);
    std::uniform_real_distribution<double> value(-300, 300);
    std::uniform_int_distribution<int> level(-255, 255);
    for (int i = 0; i < 200000; ++i) {
        // Differences of image values halved, as the estimator takes them, and arbitrary ones.
        const double gx = i % 2 ? level(random) / 2.0 : value(random), gy = i % 2 ? level(random) / 2.0 : value(random);
        ASSERT_EQ(GradientDirectionBin(gx, gy), reference(gx, gy)) << gx << ", " << gy;
    }
    // Directions on and beside every bin edge, on the axes and the diagonals, and no gradient.
    for (int k = 0; k < 100; ++k)
        for (double off : {-1e-7, -1e-12, 0.0, 1e-12, 1e-7}) {
            const double angle = (k + 0.5) * 2 * std::numbers::pi / 100 + off;
            for (double length : {0.5, 7.0, 180.0}) {
                const double gx = length * std::cos(angle), gy = length * std::sin(angle);
                ASSERT_EQ(GradientDirectionBin(gx, gy), reference(gx, gy)) << k << " " << off;
            }
        }
    for (auto [gx, gy] : {std::pair{0.0, 0.0},
                          {1.0, 0.0},
                          {-1.0, 0.0},
                          {0.0, 2.5},
                          {0.0, -2.5},
                          {3.0, 3.0},
                          {-3.0, 3.0},
                          {-3.0, -3.0},
                          {3.0, -3.0},
                          {-0.0, -0.0},
                          {-4.0, -0.0}})
        EXPECT_EQ(GradientDirectionBin(gx, gy), reference(gx, gy)) << gx << ", " << gy;
}

TEST(Descriptors, VectorOperations) {
    std::vector<float> in(168);
    for (size_t i = 0; i < in.size(); ++i)
        in[i] = static_cast<float>(i);
    std::vector<float> out;
    ResampleVector(in, out, 64, 0.7355);
    ASSERT_EQ(out.size(), 64u);
    EXPECT_NEAR(out[0], 0.0f, 0.5f);  // a ramp stays a ramp, apart from its ends
    EXPECT_NEAR(out[32], 32 * 166.9999f / 63, 0.01f);
    std::vector<float> same;
    ResampleVector(out, same, 64, 0.7355);
    EXPECT_EQ(same, out);

    std::vector<double> constant(10, 3.0);
    SmoothVector(constant, 2.0);
    for (double v : constant)
        EXPECT_NEAR(v, 3.0, 1e-12);
    std::vector<double> shortOne = {1, 9, 1};
    SmoothVector(shortOne, 2.0);
    EXPECT_EQ(shortOne[1], 9);

    Descriptor a, b, c;
    for (int i = 0; i < 64; ++i) {
        a.values[i] = static_cast<float>(i % 7) / 7;
        b.values[i] = 1 - a.values[i];  // anti-correlated
        c.values[i] = 0.5f;
    }
    EXPECT_NEAR(SquaredCorrelation(a, a), 1, 1e-12);
    EXPECT_NEAR(SquaredCorrelation(a, b), 1, 1e-12);
    EXPECT_EQ(SquaredCorrelation(a, c), 0);
}

TEST(Descriptors, TreeSearchAgreesWithBruteForce) {
    std::mt19937 random(8);
    std::vector<Descriptor> list;
    for (int i = 0; i < 400; ++i)
        list.push_back(RandomDescriptor(random));
    DescriptorTree tree;
    tree.Build(list);
    int agreeing = 0;
    for (int q = 0; q < 100; ++q) {
        Descriptor query = list[static_cast<size_t>(q * 3)];
        for (int k = 0; k < 64; k += 5)
            query.values[k] += 0.01f;
        std::vector<std::pair<float, int>> brute;
        for (size_t i = 0; i < list.size(); ++i) {
            float s = 0;
            for (int k = 0; k < 64; ++k)
                s += (list[i].values[k] - query.values[k]) * (list[i].values[k] - query.values[k]);
            brute.push_back({s, static_cast<int>(i)});
        }
        std::sort(brute.begin(), brute.end());
        auto exhaustive = tree.FindNearest(query, 2, 100000);
        ASSERT_EQ(exhaustive.size(), 2u);
        EXPECT_EQ(exhaustive[0].index, brute[0].second);
        EXPECT_EQ(exhaustive[1].index, brute[1].second);
        EXPECT_NEAR(exhaustive[0].distance, brute[0].first, 1e-4);
        auto limited = tree.FindNearest(query, 2, 20);
        ASSERT_FALSE(limited.empty());
        EXPECT_LE(limited[0].distance, limited.size() > 1 ? limited[1].distance : 1e9f);
        agreeing += limited[0].index == brute[0].second;
    }
    EXPECT_EQ(agreeing, 100);  // each query lies right next to its own descriptor

    DescriptorTree one;
    one.Build({list[0]});
    EXPECT_EQ(one.FindNearest(list[0], 2, 20).size(), 1u);
    DescriptorTree none;
    none.Build({});
    EXPECT_TRUE(none.FindNearest(list[0], 2, 20).empty());
}

TEST(Descriptors, MatchingRatioAndCorrelationTests) {
    std::mt19937 random(9);
    std::vector<Descriptor> A, B;
    std::vector<PointD> pa, pb;
    for (int i = 0; i < 50; ++i) {
        A.push_back(RandomDescriptor(random));
        pa.push_back({double(i), 0});
    }
    for (int i = 0; i < 50; i += 2) {
        Descriptor d = A[static_cast<size_t>(i)];
        d.values[3] += 0.02f;
        B.push_back(d);
        pb.push_back({double(i), 1});
    }
    std::vector<PointD> P, Q;
    MatchDescriptors(A, B, pa, pb, P, Q, 0.948);
    ASSERT_EQ(P.size(), 25u);
    for (size_t k = 0; k < P.size(); ++k)
        EXPECT_EQ(P[k].x, Q[k].x);

    // Two identical descriptors in A: every query that finds them fails the ratio test.
    std::vector<Descriptor> twins = {A[0], A[0], A[1]};
    std::vector<PointD> tp = {{0, 0}, {1, 0}, {2, 0}};
    MatchDescriptors(twins, {A[0]}, tp, {{5, 5}}, P, Q, 0.948);
    EXPECT_TRUE(P.empty());
    // One descriptor in A: two results are needed.
    MatchDescriptors({A[0]}, {A[0]}, {{0, 0}}, {{5, 5}}, P, Q, 0.948);
    EXPECT_TRUE(P.empty());
    // Near in distance but weakly correlated: rejected by the correlation test.
    Descriptor base;
    for (int k = 0; k < 64; ++k)
        base.values[k] = 0.5f + 0.01f * (k % 2);
    Descriptor noisy = base;
    for (int k = 0; k < 64; ++k)
        noisy.values[k] += 0.01f * ((k * 13) % 3 - 1);
    std::vector<Descriptor> far = {base, RandomDescriptor(random)};
    MatchDescriptors(far, {noisy}, {{0, 0}, {1, 0}}, {{2, 2}}, P, Q, 0.948);
    EXPECT_TRUE(P.empty());
}

// Queries far from every descriptor make the search prune most boxes on a partial distance;
// descriptors shorter than the full length (60 values, not a multiple of the four and eight the
// box distance works in) take its remainder path. The exhaustive search still finds the true
// nearest two, with the brute-force distances, for both lengths.
TEST(DescriptorTree, PruningKeepsTheTrueNearestForFarQueriesAndShortDescriptors) {
    std::mt19937 random(11);
    for (int length : {64, 60}) {
        std::vector<Descriptor> list;
        for (int i = 0; i < 300; ++i) {
            Descriptor d = RandomDescriptor(random);
            d.count = length;
            list.push_back(d);
        }
        DescriptorTree tree;
        tree.Build(list);
        std::uniform_real_distribution<float> far(-1, 2);
        for (int q = 0; q < 60; ++q) {
            Descriptor query;
            query.count = length;
            for (int k = 0; k < length; ++k)
                query.values[k] = far(random);
            std::vector<std::pair<float, int>> brute;
            for (size_t i = 0; i < list.size(); ++i) {
                float s = 0;
                for (int k = 0; k < length; ++k)
                    s += (list[i].values[k] - query.values[k]) * (list[i].values[k] - query.values[k]);
                brute.push_back({s, static_cast<int>(i)});
            }
            std::sort(brute.begin(), brute.end());
            const auto nearest = tree.FindNearest(query, 2, 100000);
            ASSERT_EQ(nearest.size(), 2u);
            EXPECT_EQ(nearest[0].index, brute[0].second) << length << " " << q;
            EXPECT_EQ(nearest[1].index, brute[1].second) << length << " " << q;
            EXPECT_NEAR(nearest[0].distance, brute[0].first, 1e-3) << length << " " << q;
        }
    }
}
