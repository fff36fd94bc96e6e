// Sub-pixel refinement of corresponding points on full-resolution photographs rendered with
// known cameras: the true correspondence of every point is known.
#include <gtest/gtest.h>

#include <QString>

#include <cmath>
#include <random>

#include "image/ImageFile.h"
#include "matching/CorrespondenceRefinement.h"
#include "matching/Homography.h"
#include "support/RenderedViews.h"

namespace {

// K_b R K_a^-1: the exact transform between two views of a pure rotation.
CMatrix TrueTransform(const render::ViewSpec& a, const render::ViewSpec& b) {
    render::Mat3 R = render::RelativeRotation(a, b);
    render::Mat3 Kb = {b.focal, 0, b.width / 2.0, 0, b.focal, b.height / 2.0, 0, 0, 1};
    render::Mat3 KaInv = {1 / a.focal, 0, -a.width / 2.0 / a.focal, 0, 1 / a.focal, -a.height / 2.0 / a.focal, 0, 0, 1};
    render::Mat3 H = render::Multiply(Kb, render::Multiply(R, KaInv));
    return CMatrix(3, 3, H.data());
}

ImgFLOAT LoadGray(const std::string& path) {
    ImgFLOAT gray;
    EXPECT_TRUE(LoadImageFileGray(gray, 0, QString::fromStdString(path)));
    return gray;
}

struct Pair {
    render::ViewSpec a, b;
    RenderedViews views;
    ImgFLOAT first, second;
    std::vector<PointD> P, truth;

    Pair(const render::ViewSpec& va, const render::ViewSpec& vb)
        : a(va), b(vb), views({va, vb}), first(LoadGray(views.Path(0))), second(LoadGray(views.Path(1))) {
        // A grid of points of the first photograph that the second sees well inside.
        for (double y = 35.3; y < a.height - 30; y += 29)
            for (double x = 33.7; x < a.width - 30; x += 29) {
                double bx, by;
                if (render::MapBetweenViews(a, b, x, y, &bx, &by) && bx > 30 && by > 30 && bx < b.width - 30 &&
                    by < b.height - 30) {
                    P.push_back({x, y});
                    truth.push_back({bx, by});
                }
            }
    }
};

render::ViewSpec Exposed(render::ViewSpec v, double gain, double offset) {
    v.gain = gain;
    v.offset = offset;
    return v;
}

double Distance(const PointD& p, const PointD& q) { return std::hypot(p.x - q.x, p.y - q.y); }

}  // namespace

TEST(CorrespondenceRefinement, NoisyPointsComeBackToTheTruthAndOutliersAreMended) {
    // A turned, tilted and rolled pair with different exposures.
    Pair pair(View(0, 0, 0, 700, 800, 600), Exposed(View(18, 4, 3, 700, 800, 600), 1.2, -8));
    ASSERT_GT(pair.P.size(), 150u);
    std::mt19937 random(7);
    std::normal_distribution<double> noise(0, 0.5);
    std::uniform_real_distribution<double> angle(0, 2 * 3.14159265358979);
    std::vector<PointD> Q;
    std::vector<bool> outlier;
    for (size_t k = 0; k < pair.truth.size(); ++k) {
        bool far = k % 10 == 3;
        double a = angle(random);
        Q.push_back(far ? PointD{pair.truth[k].x + 3 * std::cos(a), pair.truth[k].y + 3 * std::sin(a)}
                        : PointD{pair.truth[k].x + noise(random), pair.truth[k].y + noise(random)});
        outlier.push_back(far);
    }
    // Once with the exact transform, once with one fitted to the noisy inliers.
    std::vector<PointD> fitP, fitQ;
    for (size_t k = 0; k < Q.size(); ++k)
        if (!outlier[k]) {
            fitP.push_back(pair.P[k]);
            fitQ.push_back(Q[k]);
        }
    CMatrix fitted;
    ASSERT_TRUE(FitHomographyDlt(fitted, fitP, fitQ, static_cast<int>(fitP.size())));
    for (const CMatrix& H : {TrueTransform(pair.a, pair.b), fitted}) {
        RefinedCorrespondences r = RefineCorrespondences(pair.first, pair.second, H, pair.P, Q);
        ASSERT_EQ(r.Q.size(), Q.size());
        double before = 0, after = 0, worst = 0;
        int inliersKept = 0, inliers = 0, outliersKept = 0;
        for (size_t k = 0; k < Q.size(); ++k) {
            if (outlier[k]) {
                // An outlier is dropped or brought back to the truth.
                if (r.keep[k]) {
                    ++outliersKept;
                    EXPECT_LT(Distance(r.Q[k], pair.truth[k]), 0.3) << k;
                }
                continue;
            }
            ++inliers;
            if (!r.keep[k]) {
                EXPECT_EQ(r.Q[k].x, Q[k].x);  // a point not kept stays as it was
                continue;
            }
            ++inliersKept;
            before += std::pow(Distance(Q[k], pair.truth[k]), 2);
            after += std::pow(Distance(r.Q[k], pair.truth[k]), 2);
            worst = std::max(worst, Distance(r.Q[k], pair.truth[k]));
        }
        before = std::sqrt(before / inliersKept);
        after = std::sqrt(after / inliersKept);
        EXPECT_GT(before, 0.6);
        EXPECT_LT(after, 0.1);
        EXPECT_LT(worst, 0.5);
        EXPECT_GT(inliersKept, inliers * 0.85);
        EXPECT_GT(outliersKept, 5);
        int kept = 0;
        for (uint8_t k : r.keep)
            kept += k;
        EXPECT_EQ(r.kept, kept);

        // KeepRefined keeps the pairs in order.
        std::vector<PointD> keptP = pair.P, keptQ = Q;
        KeepRefined(r, keptP, keptQ);
        ASSERT_EQ(keptP.size(), static_cast<size_t>(r.kept));
        size_t j = 0;
        for (size_t k = 0; k < Q.size(); ++k)
            if (r.keep[k]) {
                EXPECT_EQ(keptP[j].x, pair.P[k].x);
                EXPECT_EQ(keptQ[j].y, r.Q[k].y);
                ++j;
            }
    }
}

TEST(CorrespondenceRefinement, TheSearchReachesPointsBeyondTheGradientsPull) {
    // A fine texture of ten sines in assorted directions (periods of 4 to 12 pixels) and a
    // second image shifted by (5.3, -2.7): the gradient alone cannot come back from 3.5 pixels
    // away, the whole-pixel search can.
    struct Wave {
        double kx, ky, phase, amplitude;
    };
    std::vector<Wave> waves;
    std::mt19937 random(11);
    std::uniform_real_distribution<double> unit(0, 1);
    for (int k = 0; k < 10; ++k) {
        double direction = unit(random) * 3.14159265358979, frequency = 0.5 + unit(random) * 1.0;
        waves.push_back({frequency * std::cos(direction), frequency * std::sin(direction), unit(random) * 6.28, 12});
    }
    auto texture = [&](double x, double y) {
        double v = 128;
        for (const Wave& w : waves)
            v += w.amplitude * std::sin(w.kx * x + w.ky * y + w.phase);
        return v;
    };
    const double dx = 5.3, dy = -2.7;
    ImgFLOAT first(200, 160), second(200, 160);
    for (int y = 0; y < 160; ++y)
        for (int x = 0; x < 200; ++x) {
            first.At(x, y) = static_cast<float>(texture(x, y));
            second.At(x, y) = static_cast<float>(texture(x - dx, y - dy));
        }
    const double shift[] = {1, 0, dx, 0, 1, dy, 0, 0, 1};
    const CMatrix H(3, 3, shift);
    std::vector<PointD> P, Q;
    for (int k = 0; k < 24; ++k) {
        double a = k * 0.7;
        P.push_back({40 + (k % 6) * 24.5, 40 + (k / 6) * 21.5});
        Q.push_back({P.back().x + dx + 3.5 * std::cos(a), P.back().y + dy + 3.5 * std::sin(a)});
    }
    RefinedCorrespondences r = RefineCorrespondences(first, second, H, P, Q);
    EXPECT_EQ(r.kept, 24);
    for (size_t k = 0; k < P.size(); ++k)
        if (r.keep[k]) {
            // Bilinear sampling of so fine a texture costs a few hundredths of a pixel.
            EXPECT_LT(Distance(r.Q[k], {P[k].x + dx, P[k].y + dy}), 0.05) << k;
        }
    CorrespondenceRefinementOptions narrow;
    narrow.searchRadius = 1;
    RefinedCorrespondences n = RefineCorrespondences(first, second, H, P, Q, narrow);
    EXPECT_LT(n.kept, 6);
    for (size_t k = 0; k < P.size(); ++k)
        if (n.keep[k]) {
            EXPECT_LT(Distance(n.Q[k], {P[k].x + dx, P[k].y + dy}), 0.05) << k;
        }
}

TEST(CorrespondenceRefinement, PointsThatCannotBeRefinedAreReported) {
    Pair pair(View(0, 0, 0, 500, 400, 300), View(15, 0, 0, 500, 400, 300));
    const CMatrix H = TrueTransform(pair.a, pair.b);
    const size_t n = pair.P.size();
    ASSERT_GT(n, 40u);

    // Flat photographs, and photographs of vertical stripes (a straight edge cannot fix the
    // position along it), have no texture to align.
    ImgFLOAT flat1(400, 300), flat2(400, 300), stripes1(400, 300), stripes2(400, 300);
    flat1.FillRect(0, 0, 399, 299, 128.0f);
    flat2.FillRect(0, 0, 399, 299, 128.0f);
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 400; ++x)
            stripes1.At(x, y) = stripes2.At(x, y) = static_cast<float>(128 + 60 * std::sin(x * 0.4));
    for (const ImgFLOAT* image : {&flat1, &stripes1}) {
        const ImgFLOAT& second = image == &flat1 ? flat2 : stripes2;
        RefinedCorrespondences r = RefineCorrespondences(*image, second, H, pair.P, pair.truth);
        EXPECT_EQ(r.kept, 0);
        for (size_t k = 0; k < n; ++k)
            if (r.outcome[k] != RefinementOutcome::OutsideImage) {
                EXPECT_EQ(r.outcome[k], RefinementOutcome::NoTexture) << k;
            }
    }

    // Points at the border, points H sends nowhere useful, and wrong matches far away.
    std::vector<PointD> P = {{2, 150}, {200, 298}, pair.P[0], pair.P[n / 2], pair.P[n - 1]};
    std::vector<PointD> Q = {pair.truth[0], pair.truth[0], {3, 3}, pair.truth[n / 2], pair.truth[n - 1]};
    Q[3].x += 25;  // the wrong place, far beyond the search range
    Q[4].y -= 40;
    RefinedCorrespondences r = RefineCorrespondences(pair.first, pair.second, H, P, Q);
    EXPECT_EQ(r.outcome[0], RefinementOutcome::OutsideImage);
    EXPECT_EQ(r.outcome[1], RefinementOutcome::OutsideImage);
    EXPECT_EQ(r.outcome[2], RefinementOutcome::OutsideImage);
    for (int k : {3, 4}) {
        EXPECT_FALSE(r.keep[k]) << k;
        EXPECT_TRUE(r.outcome[k] == RefinementOutcome::LowCorrelation ||
                    r.outcome[k] == RefinementOutcome::MovedTooFar || r.outcome[k] == RefinementOutcome::NotConverged)
            << k << " " << static_cast<int>(r.outcome[k]);
    }
    EXPECT_EQ(r.kept, 0);

    // Broken contracts.
    EXPECT_THROW(RefineCorrespondences(pair.first, pair.second, H, P, {}), const char*);
    CMatrix singular(3, 3);
    for (int k = 0; k < 9; ++k)
        singular(k / 3, k % 3) = k / 3 == 2 ? 0 : 1;
    EXPECT_THROW(RefineCorrespondences(pair.first, pair.second, singular, P, Q), const char*);
    EXPECT_THROW(RefineCorrespondences(pair.first, pair.second, CMatrix(2, 3), P, Q), const char*);
    // Nothing to refine: an empty result.
    EXPECT_EQ(RefineCorrespondences(pair.first, pair.second, H, {}, {}).Q.size(), 0u);
}
