// The camera fit over every matched pair: more accurate than over one pair per photograph, and a
// pair whose points disagree with all the others is left out, its photographs kept through
// their other pairs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <utility>
#include <vector>

#include "engine/PanoramaEngine.h"
#include "render/Mat3.h"
#include "render/ViewRenderer.h"
#include "support/EngineFixture.h"
#include "support/RenderedViews.h"

namespace {

render::Mat3 Mat3Of(const CMatrix& m) {
    return {m(0, 0), m(0, 1), m(0, 2), m(1, 0), m(1, 1), m(1, 2), m(2, 0), m(2, 1), m(2, 2)};
}

// The worst error, degrees, of the fitted turn between any two photographs against the true one.
double WorstRelativeRotation(const PanoramaEngine& engine, const std::vector<render::ViewSpec>& views) {
    double worst = 0;
    for (const Camera& a : engine.CameraList())
        for (const Camera& b : engine.CameraList()) {
            if (a.image >= b.image)
                continue;
            const render::Mat3 fitted = render::Multiply(render::Transposed(Mat3Of(b.rotation)), Mat3Of(a.rotation));
            const render::Mat3 truth = render::RelativeRotation(views[size_t(a.image)], views[size_t(b.image)]);
            worst = std::max(worst, render::AngleBetweenRotations(truth, fitted));
        }
    return worst;
}

// Two rows of four, 35 degrees apart and 36 degrees up and down: pairs along, across and
// diagonally.
std::vector<render::ViewSpec> Grid() {
    std::vector<render::ViewSpec> views;
    for (int column = 0; column < 4; ++column)
        for (int pitch : {-18, 18})
            views.push_back(View(35.0 * column, pitch, 0, 400, 480, 360));
    return views;
}

struct Matched {
    RenderedViews set;
    PanoramaEngine engine;
    explicit Matched(const std::vector<render::ViewSpec>& views) : set(views) {
        std::vector<std::string> paths;
        for (size_t i = 0; i < views.size(); ++i)
            paths.push_back(set.Path(i));
        EngineFixture::SetImagePaths(engine, paths, views[0].width, views[0].height);
        engine.SetGeneticSeed(7);
    }
};

}  // namespace

TEST(CameraFitPairs, EveryPairBeatsOnePerPhotographAndAStrayPairIsLeftOut) {
    const std::vector<render::ViewSpec> views = Grid();
    Matched m(views);
    ASSERT_TRUE(m.engine.FindOverlappingImages()) << m.engine.LastError();
    int matched = 0;
    for (const ImageCombination& pair : m.engine.Combinations())
        matched += pair.matched ? 1 : 0;
    ASSERT_GT(matched, 10);  // more pairs than the seven a chain through eight photographs needs

    ASSERT_TRUE(m.engine.FitCameras());
    const double everyPair = WorstRelativeRotation(m.engine, views);
    EXPECT_TRUE(m.engine.FitPairsLeftOut().empty());
    m.engine.SetFitAllPairs(false);
    ASSERT_TRUE(m.engine.FitCameras());
    const double onePerPhotograph = WorstRelativeRotation(m.engine, views);
    EXPECT_LT(everyPair, 0.01);
    EXPECT_LT(everyPair, onePerPhotograph);
    m.engine.SetFitAllPairs(true);

    // A pair matched wrongly: one photograph's points all 25 pixels off. It is the only pair
    // left out, every photograph keeps its camera, and the others' accuracy holds.
    ImageCombination* stray = nullptr;
    for (size_t k = 0; k < m.engine.Combinations().size(); ++k) {
        ImageCombination& pair = EngineFixture::PairAt(m.engine, k);
        if (pair.matched && pair.first == 1 && pair.second == 2)
            stray = &pair;
    }
    ASSERT_NE(stray, nullptr);
    for (PointD& q : stray->Q)
        q.x += 25;
    ASSERT_TRUE(m.engine.BuildOverlapHierarchyTrees());
    std::string log;
    m.engine.SetLogHook([&](const char* text) {
        log += text;
        return false;
    });
    ASSERT_TRUE(m.engine.FitCameras());
    const std::vector<std::pair<int, int>> leftOut = m.engine.FitPairsLeftOut();
    ASSERT_EQ(leftOut.size(), 1u) << log;
    EXPECT_EQ(std::minmax(leftOut[0].first, leftOut[0].second), std::minmax(1, 2));
    EXPECT_EQ(m.engine.CameraList().size(), views.size());
    EXPECT_LT(WorstRelativeRotation(m.engine, views), 0.02);
    EXPECT_NE(log.find("Pair 1-2 is left out of the camera fit"), std::string::npos) << log;
}
