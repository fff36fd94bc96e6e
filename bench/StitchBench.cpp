// Final-stitch pixel stages: the sine transform behind the Poisson blend, and the blend itself.
#include <benchmark/benchmark.h>

#include <cmath>

#include "image/LargeBlocks.h"
#include "stitching/GradientBlend.h"
#include "stitching/SineTransform.h"

namespace {

void FillGrid(stitch::SineGrid& g) {
    for (int y = 0; y < g.Height(); ++y)
        for (int x = 0; x < g.Width(); ++x)
            g.At(x, y) = static_cast<float>(std::sin(x * 0.013) * std::cos(y * 0.021) + (x * y) % 13);
}

// Arguments: grid side, threads.
void BM_SineTransform2D(benchmark::State& state) {
    int n = static_cast<int>(state.range(0)), threads = static_cast<int>(state.range(1));
    stitch::SineGrid g(n, n);
    FillGrid(g);
    stitch::SineTransform2D(g, threads);  // plans once per size, outside the timing
    for (auto _ : state) {
        stitch::SineTransform2D(g, threads);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_SineTransform2D)
    ->Args({2048, 1})
    ->Args({2048, 2})
    ->Args({1024, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// A 2000 x 1500 rectangle (4096 x 2048 transforms): A textured, B the same scene darker, M
// owning the right part. Argument: threads for the channel solves.
void BM_GradientDomainBlend(benchmark::State& state) {
    int w = 2000, h = 1500;
    ImgRGBSHORT A(w, h), B(w, h), work(w, h);
    ImgUCHAR M(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            short v = static_cast<short>(4000 + 2000 * std::sin(x * 0.01) * std::cos(y * 0.013) + (x * y) % 97);
            A.At(x, y) = RgbSHORT{v, short(v / 2), short(v / 3)};
            B.At(x, y) = RgbSHORT{short(v - 300), short(v / 2 - 200), short(v / 3 - 100)};
            M.At(x, y) = x > w / 2 + static_cast<int>(40 * std::sin(y * 0.01)) ? 1 : 0;
        }
    stitch::GradientBlendSettings settings;
    settings.threads = static_cast<int>(state.range(0));
    // As in a stitch, where each photograph's blend reuses the memory of the one before.
    const LargeBlockReuse reuse;
    for (auto _ : state) {
        state.PauseTiming();
        B.CopyTo(work);
        state.ResumeTiming();
        stitch::GradientDomainBlend(A, work, M, settings, nullptr);
    }
}
BENCHMARK(BM_GradientDomainBlend)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
