// Detection and matching on photographs rendered from the shipped world with known cameras.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "engine/PanoramaEngine.h"
#include "matching/ExtractionGeometry.h"
#include "matching/MatchDescriptors.h"
#include "support/EngineFixture.h"
#include "support/RenderedViews.h"

namespace {

struct PairOutcome {
    double repeatability;  // share of overlap points found again in the other photograph
    int overlapPoints;
    int matches;
    double correctShare;
};

PairOutcome RunPair(const render::ViewSpec& a, const render::ViewSpec& b) {
    RenderedViews set({a, b});
    PanoramaEngine engine;
    EngineFixture::SetImagePaths(engine, {set.Path(0), set.Path(1)}, a.width, a.height);
    engine.ExtractImageFeatures(0);
    engine.ExtractImageFeatures(1);
    const ImageRecord& A = engine.Image(0);
    const ImageRecord& B = engine.Image(1);
    const double workPixel = 1 / ExtractionGeometryFor(a.width, a.height, 600, 1.0, 3.0).scale;

    PairOutcome out{};
    int found = 0;
    for (const PointD& p : A.featurePoints) {
        double bx, by;
        if (!render::MapBetweenViews(a, b, p.x, p.y, &bx, &by))
            continue;
        double margin = 30 * workPixel;  // the border the detector keeps free
        if (bx < margin || by < margin || bx > b.width - margin || by > b.height - margin)
            continue;
        ++out.overlapPoints;
        double best = 1e9;
        for (const PointD& q : B.featurePoints)
            best = std::min(best, std::hypot(q.x - bx, q.y - by));
        found += best <= 1.5 * workPixel;
    }
    out.repeatability = out.overlapPoints ? double(found) / out.overlapPoints : 0;

    std::vector<PointD> P, Q;
    MatchDescriptors(A.descriptors, B.descriptors, A.featurePoints, B.featurePoints, P, Q, 0.948);
    out.matches = static_cast<int>(P.size());
    int correct = 0;
    for (size_t k = 0; k < P.size(); ++k) {
        double bx, by;
        if (render::MapBetweenViews(a, b, P[k].x, P[k].y, &bx, &by) && std::hypot(Q[k].x - bx, Q[k].y - by) <= 3)
            ++correct;
    }
    out.correctShare = P.empty() ? 0 : double(correct) / P.size();
    std::printf("points %zu/%zu, overlap %d, repeatability %.3f, matches %d, correct %.3f\n", A.featurePoints.size(),
                B.featurePoints.size(), out.overlapPoints, out.repeatability, out.matches, out.correctShare);
    return out;
}

}  // namespace

TEST(RenderedPair, YawOnlyPairIsFoundAndMatched) {
    PairOutcome r = RunPair(View(0, 0, 0), View(30, 0, 0));
    EXPECT_GT(r.overlapPoints, 100);
    EXPECT_GE(r.repeatability, 0.6);
    EXPECT_GE(r.matches, 50);
    EXPECT_GE(r.correctShare, 0.9);
}

TEST(RenderedPair, RolledPairIsFoundAndMatched) {
    PairOutcome r = RunPair(View(0, 0, 0), View(30, 0, 10));
    EXPECT_GT(r.overlapPoints, 100);
    EXPECT_GE(r.repeatability, 0.6);
    EXPECT_GE(r.matches, 50);
    EXPECT_GE(r.correctShare, 0.9);
}
