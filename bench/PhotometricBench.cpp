// The photometric fit of six 4000 x 3000 photographs: decoding, the small blurred copies and
// the fit itself, on one thread and on all cores.
#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QString>

#include <string>
#include <vector>

#include "BenchWorld.h"
#include "image/ImageFile.h"
#include "render/ViewRenderer.h"
#include "stitching/PhotometricFit.h"
#include "stitching/PhotometricFitter.h"
#include "stitching/PhotometricImage.h"
#include "stitching/PhotometricSamples.h"

namespace {

constexpr int kCount = 6, kWidth = 4000, kHeight = 3000;
constexpr double kFocal = 3300;

CMatrix Transfer(const render::ViewSpec& child, const render::ViewSpec& parent) {
    const render::Mat3 K = {kFocal, 0, kWidth / 2.0, 0, kFocal, kHeight / 2.0, 0, 0, 1};
    const render::Mat3 KInverse = {1 / kFocal, 0,          -kWidth / 2.0 / kFocal,   //
                                   0,          1 / kFocal, -kHeight / 2.0 / kFocal,  //
                                   0,          0,          1};
    const render::Mat3 H = render::Multiply(K, render::Multiply(render::RelativeRotation(child, parent), KInverse));
    return CMatrix(3, 3, H.data());
}

// Six photographs 30 degrees apart in a chain, exposures 0.9 .. 1.1 and a lens's vignetting,
// rendered once and kept in memory and as JPEG files.
struct Set {
    Set() {
        for (int i = 0; i < kCount; ++i) {
            render::ViewSpec v = BenchCamera(30.0 * i, kWidth, kHeight, kFocal);
            v.gain = 0.9 + 0.04 * i;
            v.vignetting = 0.25;
            views.push_back(v);
            photographs.push_back(render::RenderView(BenchWorld(), v));
            paths.push_back(QDir::temp().filePath(QString("vedora-photometric-%1.jpg").arg(i)).toStdString());
            SaveImageFile(photographs.back(), QString::fromStdString(paths.back()), 95);
            cameras.emplace_back();
            cameras.back().Initialise(kWidth, kHeight);
        }
        for (int c = 1; c < kCount; ++c) {
            PhotometricEdge e;
            e.childCamera = c;
            e.parentCamera = c - 1;
            e.childToParent = Transfer(views[c], views[c - 1]);
            e.parentToChild = e.childToParent.Inverse();
            edges.push_back(e);
        }
    }
    ~Set() {
        for (const std::string& p : paths)
            QFile::remove(QString::fromStdString(p));
    }
    std::vector<render::ViewSpec> views;
    std::vector<ImgRGB> photographs;
    std::vector<std::string> paths;
    std::vector<Camera> cameras;
    std::vector<PhotometricEdge> edges;
};

const Set& TheSet() {
    static const Set set;
    return set;
}

// Arguments: threads (0 = one per core), 1 to decode the JPEG files (0: copy from memory).
void BM_FitPhotometricCorrection(benchmark::State& state) {
    const Set& set = TheSet();
    PhotometricInput input;
    input.mode = 1;
    input.edges = set.edges;
    input.threads = static_cast<int>(state.range(0));
    if (state.range(1))
        input.load = [&](int i, ImgRGB& image) {
            return LoadImageFile(image, 0, QString::fromStdString(set.paths[static_cast<size_t>(i)]));
        };
    else
        input.load = [&](int i, ImgRGB& image) {
            image = set.photographs[static_cast<size_t>(i)];
            return true;
        };
    PhotometricFitSummary summary;
    for (auto _ : state) {
        std::vector<Camera> cameras = set.cameras;
        FitPhotometricCorrection(cameras, input, &summary);
        benchmark::DoNotOptimize(cameras.data());
    }
    state.counters["samples"] = summary.samples;
    state.counters["iterations"] = summary.iterations;
    state.counters["fitted"] = summary.fitted;
}
BENCHMARK(BM_FitPhotometricCorrection)
    ->Args({1, 1})
    ->Args({0, 1})
    ->Args({1, 0})
    ->Args({0, 0})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

// One photograph's small copy: anti-alias blur, resampling and the sigma-30 blur.
void BM_MakePhotometricImage(benchmark::State& state) {
    const Set& set = TheSet();
    ImgRGB small;
    for (auto _ : state) {
        state.PauseTiming();
        ImgRGB photograph = set.photographs[0];
        state.ResumeTiming();
        MakePhotometricImage(photograph, small);
        benchmark::DoNotOptimize(small.pixels);
    }
}
BENCHMARK(BM_MakePhotometricImage)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// The fit alone, on the samples of the six small copies; reports the last camera's fitted gain
// (the truth is 0.9 / 1.1 = 0.82).
void BM_PhotometricFitOnly(benchmark::State& state) {
    const Set& set = TheSet();
    std::vector<ImgRGB> images(kCount);
    std::vector<double> scales(kCount);
    for (int i = 0; i < kCount; ++i) {
        ImgRGB photograph = set.photographs[static_cast<size_t>(i)];
        scales[static_cast<size_t>(i)] = MakePhotometricImage(photograph, images[static_cast<size_t>(i)]);
    }
    const std::vector<PhotometricEdgeSamples> samples = CollectPhotometricSamples(set.edges, images, scales);
    std::vector<Camera> cameras;
    int iterations = 0;
    for (auto _ : state) {
        cameras = set.cameras;
        PhotometricFitter fitter(cameras, true, 20, samples);
        fitter.Fit();
        iterations = fitter.iterations;
    }
    state.counters["iterations"] = iterations;
    for (int i = 1; i < kCount; ++i)
        state.counters["g" + std::to_string(i)] = cameras[static_cast<size_t>(i)].gains[1];
    state.counters["V"] = cameras[0].vignetting[0] * 6.25e6;
}
BENCHMARK(BM_PhotometricFitOnly)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
