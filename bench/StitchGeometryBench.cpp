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

void BM_FitCamerasRing(benchmark::State& state) {
    const auto type = static_cast<ProjectionType>(state.range(0));
    int iterations = 0;
    double residual = 0;
    for (auto _ : state) {
        state.PauseTiming();
        // Fresh trees each time: a fit rewrites the edge transfers from its cameras.
        rig::Rig ring = rig::Ring(150);
        ring.PerturbTransfers(0.03, 0.5);
        state.ResumeTiming();
        CameraFitResult result = FitCameras(RingInput(ring, type));
        if (result.status != CameraFitStatus::Fitted)
            state.SkipWithError("fit failed");
        iterations = result.iterations;
        residual = result.residualStdDev;
    }
    state.counters["lm_iterations"] = iterations;
    state.counters["residual_px"] = residual;
}
BENCHMARK(BM_FitCamerasRing)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

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
