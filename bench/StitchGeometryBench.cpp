// The camera fit and the stitch geometry on a 12-image 360-degree ring with exact
// correspondences (about 150 per edge) and edge transfers off by a pair fit's typical error.
#include <benchmark/benchmark.h>

#include "stitching/CameraFitter.h"
#include "stitching/StitchGeometry.h"
#include "support/SyntheticRig.h"

namespace {

CameraFitInput RingInput(rig::Rig& ring, ProjectionType type) {
    CameraFitInput input;
    input.mainTree = ring.mainTree.get();
    input.transitionTree = ring.transitionTree.get();
    input.imageSizes = ring.sizes;
    input.layoutPositions = ring.Layout();
    input.projectionType = type;
    return input;
}

// Times FitCameras() on fresh trees from makeRig (a fit rewrites the edge transfers from its
// cameras), each off by a pair fit's typical error.
template <class MakeRig>
void TimeFits(benchmark::State& state, MakeRig makeRig, ProjectionType type, bool dense) {
    int iterations = 0;
    double residual = 0;
    for (auto _ : state) {
        state.PauseTiming();
        rig::Rig rig = makeRig();
        rig.PerturbTransfers(0.03, 0.5);
        CameraFitInput input = RingInput(rig, type);
        input.denseJacobian = dense;
        state.ResumeTiming();
        CameraFitResult result = FitCameras(input);
        if (result.status != CameraFitStatus::Fitted)
            state.SkipWithError("fit failed");
        iterations = result.iterations;
        residual = result.residualStdDev;
    }
    state.counters["lm_iterations"] = iterations;
    state.counters["residual_px"] = residual;
}

void BM_FitCamerasRing(benchmark::State& state) {
    TimeFits(
        state, [] { return rig::Ring(150); }, static_cast<ProjectionType>(state.range(0)), false);
}
BENCHMARK(BM_FitCamerasRing)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// Many rows around a full turn (60: three rows of 20 at 30 degrees; 500: ten rows of 50 at 8
// degrees), 40 exact correspondences per edge. A second argument of 1 fits with the dense
// Jacobian the fit started with, for comparison.
void BM_FitCamerasMultiRow(benchmark::State& state) {
    const bool sixty = state.range(0) == 60;
    TimeFits(
        state, [sixty] { return sixty ? rig::MultiRowRing(3, 20, 30) : rig::MultiRowRing(10, 50, 8); },
        ProjectionType::Spherical, state.range(1) != 0);
}
BENCHMARK(BM_FitCamerasMultiRow)
    ->Args({60, 0})
    ->Args({60, 1})
    ->Args({500, 0})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

void BM_InitStitchGeometryRing(benchmark::State& state) {
    rig::Rig ring = rig::Ring(150);
    CameraFitResult fit = FitCameras(RingInput(ring, ProjectionType::Cylindrical));
    StitchGeometryParameters parameters;
    parameters.projectionType = ProjectionType::Cylindrical;
    parameters.size = 4000;
    for (auto _ : state) {
        std::vector<Camera> cameras = fit.cameraList;
        StitchGeometry g = InitStitchGeometry(cameras, ring.transitionTree.get(), parameters);
        benchmark::DoNotOptimize(g.panoramaRect);
    }
}
BENCHMARK(BM_InitStitchGeometryRing)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
