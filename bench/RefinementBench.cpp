// Sub-pixel refinement of corresponding points on a full-resolution pair, against the cost of
// fitting the pair.
#include <benchmark/benchmark.h>

#include <random>

#include "BenchWorld.h"
#include "matching/CorrespondenceRefinement.h"
#include "render/ViewRenderer.h"

namespace {

render::ViewSpec Camera(double yaw) { return BenchCamera(yaw, 1600, 1200, 1400); }

ImgFLOAT Gray(const render::ViewSpec& v) {
    ImgRGB rgb = render::RenderView(BenchWorld(), v);
    ImgFLOAT gray(rgb.width, rgb.height);
    rgb.CopyTo(gray);
    return gray;
}

CMatrix TrueTransform(const render::ViewSpec& a, const render::ViewSpec& b) {
    render::Mat3 R = render::RelativeRotation(a, b);
    render::Mat3 K = {a.focal, 0, a.width / 2.0, 0, a.focal, a.height / 2.0, 0, 0, 1};
    render::Mat3 Kinv = {1 / a.focal, 0, -a.width / 2.0 / a.focal, 0, 1 / a.focal, -a.height / 2.0 / a.focal, 0, 0, 1};
    render::Mat3 H = render::Multiply(K, render::Multiply(R, Kinv));
    return CMatrix(3, 3, H.data());
}

// 200 points of a 25-degree pair, their true partners moved by 0.5 px noise.
void BM_RefineCorrespondences(benchmark::State& state) {
    const render::ViewSpec a = Camera(0), b = Camera(25);
    static const ImgFLOAT first = Gray(a), second = Gray(b);
    std::vector<PointD> P, Q;
    std::mt19937 random(3);
    std::uniform_real_distribution<double> x(40, 1560), y(40, 1160);
    std::normal_distribution<double> noise(0, 0.5);
    while (P.size() < 200) {
        PointD p{x(random), y(random)};
        double bx, by;
        if (!render::MapBetweenViews(a, b, p.x, p.y, &bx, &by) || bx < 40 || by < 40 || bx > 1560 || by > 1160)
            continue;
        P.push_back(p);
        Q.push_back({bx + noise(random), by + noise(random)});
    }
    const CMatrix H = TrueTransform(a, b);
    RefinedCorrespondences r;
    for (auto _ : state) {
        r = RefineCorrespondences(first, second, H, P, Q);
        benchmark::DoNotOptimize(r.Q.data());
    }
    int counts[6] = {};
    for (RefinementOutcome o : r.outcome)
        ++counts[static_cast<int>(o)];
    state.counters["kept"] = r.kept;
    state.counters["flat"] = counts[static_cast<int>(RefinementOutcome::NoTexture)];
    state.counters["other"] = static_cast<int>(r.outcome.size()) - r.kept - state.counters["flat"];
}
BENCHMARK(BM_RefineCorrespondences)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
