#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "engine/PanoramaEngine.h"
#include "matching/Homography.h"
#include "matching/MinStdRandom.h"
#include "matching/PairFit.h"
#include "matching/PairRotationModel.h"
#include "support/EngineFixture.h"

namespace {

constexpr double kDeg = std::numbers::pi / 180;

CMatrix SomeHomography() {
    const double h[9] = {1.02, 0.03, 12, -0.02, 0.98, -7, 1e-5, -2e-5, 1};
    return CMatrix(3, 3, h);
}

void Agreeing(int n, const CMatrix& H, std::vector<PointD>& P, std::vector<PointD>& Q, unsigned seed = 1) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> u(0, 600);
    P.clear();
    Q.clear();
    for (int k = 0; k < n; ++k) {
        PointD p{u(random), u(random)};
        P.push_back(p);
        Q.push_back(ApplyTransform(H, p));
    }
}

// The angle in degrees of the rotation that takes one matrix to the other.
double AngleBetween(const CMatrix& A, const CMatrix& B) {
    CMatrix D = A * B.Transpose();
    double trace = D(0, 0) + D(1, 1) + D(2, 2);
    return std::acos(std::clamp((trace - 1) / 2, -1.0, 1.0)) / kDeg;
}

}  // namespace

TEST(MinStdRandom, ParkMillerSequence) {
    MinStdRandom r(1);
    EXPECT_EQ(r.Next(), 48271);
    EXPECT_EQ(r.Next(), 182605794);  // 48271^2 mod (2^31 - 1)
    MinStdRandom zero(0), fixed(123456789);
    EXPECT_EQ(zero.Next(), fixed.Next());
    MinStdRandom big(2147483646);
    int32_t v = big.Next();
    EXPECT_GT(v, 0);
    EXPECT_LT(v, MinStdRandom::kModulus);
}

TEST(Ransac, CountsThresholdsAndTies) {
    CMatrix H = SomeHomography(), fitted;
    std::vector<PointD> P, Q;
    int iterations = -1;

    Agreeing(4, H, P, Q);
    FitHomographyRansac(fitted, P, Q, 3, &iterations);
    EXPECT_EQ(iterations, 0);
    EXPECT_TRUE(P.empty());
    EXPECT_TRUE(Q.empty());
    EXPECT_EQ(fitted(0, 0), 1);
    EXPECT_EQ(fitted(0, 2), 0);

    Agreeing(7, H, P, Q);
    FitHomographyRansac(fitted, P, Q, 3, &iterations);
    EXPECT_EQ(iterations, 70);
    ASSERT_EQ(P.size(), 7u);
    for (int k = 0; k < 7; ++k) {
        PointD m = ApplyTransform(fitted, P[k]);
        EXPECT_NEAR(m.x, Q[k].x, 1e-6);
    }

    Agreeing(6, H, P, Q);
    FitHomographyRansac(fitted, P, Q, 3, &iterations);
    EXPECT_EQ(iterations, 60);
    EXPECT_TRUE(P.empty());  // more than six inliers are needed

    // Outliers are dropped and the order of the inliers is kept.
    Agreeing(40, H, P, Q);
    std::vector<PointD> expected = P;
    for (int k = 0; k < 40; k += 5)
        Q[k].x += 40;
    FitHomographyRansac(fitted, P, Q, 3, &iterations);
    ASSERT_EQ(P.size(), 32u);
    EXPECT_EQ(P[0].x, expected[1].x);
    std::vector<PointD> again = expected, againQ;
    Agreeing(40, H, again, againQ);
    for (int k = 0; k < 40; k += 5)
        againQ[k].x += 40;
    std::vector<PointD> firstRun = P;
    FitHomographyRansac(fitted, again, againQ, 3);
    ASSERT_EQ(again.size(), firstRun.size());
    for (size_t k = 0; k < again.size(); ++k)
        EXPECT_EQ(again[k].x, firstRun[k].x);
}

TEST(Ransac, EqualInlierCountsPreferTheSmallerMean) {
    // Two exact families of ten points under two translations: the one whose model fits its
    // own points with the smaller error wins on the tie.
    const double a[9] = {1, 0, 5, 0, 1, 0, 0, 0, 1};
    CMatrix Ha(3, 3, a), fitted;
    std::vector<PointD> P, Q;
    std::mt19937 random(3);
    std::uniform_real_distribution<double> u(0, 400), jitter(-0.9, 0.9);
    for (int k = 0; k < 10; ++k) {  // family A, exact
        PointD p{u(random), u(random)};
        P.push_back(p);
        Q.push_back(ApplyTransform(Ha, p));
    }
    for (int k = 0; k < 10; ++k) {  // family B, noisy, far from A's model
        PointD p{u(random), u(random)};
        P.push_back(p);
        Q.push_back({p.x - 60 + jitter(random), p.y + 45 + jitter(random)});
    }
    FitHomographyRansac(fitted, P, Q, 3);
    ASSERT_EQ(P.size(), 10u);
    EXPECT_NEAR(ApplyTransform(fitted, {100, 100}).x, 105, 1e-6);
}

TEST(Dlt, DegenerateAndExact) {
    CMatrix H = SomeHomography(), fitted;
    std::vector<PointD> P, Q;
    Agreeing(9, H, P, Q);
    ASSERT_TRUE(FitHomographyDlt(fitted, P, Q, 9));
    for (int k = 0; k < 9; ++k)
        EXPECT_NEAR(ApplyTransform(fitted, P[k]).y, Q[k].y, 1e-7);
    EXPECT_FALSE(FitHomographyDlt(fitted, P, Q, 3));
    EXPECT_FALSE(FitHomographyDlt(fitted, P, Q, 10));
    std::vector<PointD> same(5, PointD{3, 4});
    EXPECT_FALSE(FitHomographyDlt(fitted, same, same, 5));
    EXPECT_EQ(MeanSquaredTransferError(H, {}, {}), DBL_MAX);
    EXPECT_NEAR(MeanSquaredTransferError(H, P, Q), 0, 1e-18);
}

TEST(PairFit, RecoversFocalLengthAndRotationFromExactCorrespondences) {
    struct Case {
        double f, omega, phi, kappa;
    };
    const Case cases[] = {
        {800, 5, 40, 2}, {1400, -5, 30, 10}, {2200, 10, -15, -3}, {3000, 0, 12, 0}, {1000, 20, 20, 5}};
    const PointD c{800, 600};
    for (const Case& k : cases) {
        CMatrix H = RotationTransfer(k.f, k.omega * kDeg, k.phi * kDeg, k.kappa * kDeg, c, c);
        std::vector<PointD> P, Q;
        std::mt19937 random(5);
        std::uniform_real_distribution<double> ux(0, 1600), uy(0, 1200);
        for (int tries = 0; P.size() < 120 && tries < 100000; ++tries) {
            PointD p{ux(random), uy(random)};
            PointD q = ApplyTransform(H, p);
            if (q.x >= 0 && q.x < 1600 && q.y >= 0 && q.y < 1200) {
                P.push_back(p);
                Q.push_back(q);
            }
        }
        ASSERT_EQ(P.size(), 120u) << "the two views must overlap";
        PairRotation r = FitPairRotation(c, P, Q, 42);
        RefinePairRotation(c, P, Q, r);
        EXPECT_NEAR(r.f, k.f, k.f * 0.001) << k.f;
        double angle = AngleBetween(RotationMatrix(r.omega, r.phi, r.kappa),
                                    RotationMatrix(k.omega * kDeg, k.phi * kDeg, k.kappa * kDeg));
        EXPECT_LT(angle, 0.01) << k.f;
    }
}

TEST(PairFit, IdenticalListsKeepZeroAngles) {
    std::vector<PointD> P;
    for (int k = 0; k < 30; ++k)
        P.push_back({double(k * 31 % 640), double(k * 17 % 480)});
    // Every focal length fits identical lists perfectly; the angles stay exactly zero.
    PairRotation r = FitPairRotation({320, 240}, P, P, 9);
    EXPECT_EQ(r.omega, 0);
    EXPECT_EQ(r.phi, 0);
    EXPECT_EQ(r.kappa, 0);

    PanoramaEngine engine;
    EngineFixture::SetImages(engine, {ImageRecord{"a", 640, 480, {}, {}}, ImageRecord{"b", 640, 480, {}, {}}});
    engine.SetGeneticSeed(9);
    PairFitResult fit = engine.FitPair(0, 1, P, P);
    EXPECT_NEAR(fit.omega, 0, 1e-12);
    CMatrix check = fit.forward * fit.backward;
    EXPECT_NEAR(check(0, 0), 1, 1e-12);
    CMatrix forward, backward;
    PairMatricesFromParameters(1000, 0.1, 0.2, 0.05, {320, 240}, {400, 300}, forward, backward);
    PointD there = ApplyTransform(forward, {320, 240});
    PointD back = ApplyTransform(backward, there);
    EXPECT_NEAR(back.x, 320, 1e-9);
    EXPECT_NEAR(back.y, 240, 1e-9);
}
