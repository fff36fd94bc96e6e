// Feature extraction and matching benchmarks on photographs rendered from the shipped world.
#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QString>

#include <cmath>
#include <string>
#include <type_traits>

#include "BenchWorld.h"
#include "engine/PanoramaEngine.h"
#include "image/ImageFile.h"
#include "image/ResampleImage.h"
#include "image/WarpImage.h"
#include "matching/DescriptorTree.h"
#include "matching/ExtractionGeometry.h"
#include "matching/FeatureExtractor.h"
#include "matching/MatchDescriptors.h"
#include "render/ViewRenderer.h"
#include "support/EngineFixture.h"

namespace {

// A 12-megapixel photograph, rendered once and saved as JPEG.
std::string Photo(double yaw) {
    std::string path = QDir::temp().filePath(QString("vedora-bench-photo-%1.jpg").arg(yaw)).toStdString();
    if (!QFile::exists(QString::fromStdString(path)))
        SaveImageFile(render::RenderView(BenchWorld(), BenchCamera(yaw, 4000, 3000, 3500)),
                      QString::fromStdString(path));
    return path;
}

// Decoding: the file into gray working values at full size (what the extraction loads).
void BM_DecodePhoto(benchmark::State& state) {
    std::string path = Photo(0);
    for (auto _ : state) {
        ImgFLOAT gray;
        LoadImageFileGray(gray, 0, QString::fromStdString(path));
    }
}
BENCHMARK(BM_DecodePhoto)->Unit(benchmark::kMillisecond);

// Reduction: smoothing and resampling the full-size gray image to the working size.
void BM_ReduceToWorkingSize(benchmark::State& state) {
    ImgFLOAT decoded;
    LoadImageFileGray(decoded, 0, QString::fromStdString(Photo(0)));
    ExtractionGeometry g = ExtractionGeometryFor(decoded.width, decoded.height, 600, 1.0, 3.0);
    for (auto _ : state) {
        state.PauseTiming();
        ImgFLOAT gray(decoded);
        state.ResumeTiming();
        ImgFLOAT work;
        ResampleImageConsuming(gray, work, g.scale, 0.7355);
        benchmark::DoNotOptimize(work.pixels);
    }
}
BENCHMARK(BM_ReduceToWorkingSize)->Unit(benchmark::kMillisecond);

// Warping a 12-megapixel image through a small rotation and scale, with the exact per-pixel
// mapping (arg 1) and the span-interpolated one (arg 0), for gray floats and RGB.
template <class Image>
void BM_WarpImage(benchmark::State& state) {
    Image source(4000, 3000), destination(4000, 3000);
    for (size_t k = 0; k < source.ByteCount(); ++k)
        source.pixels[k] = static_cast<unsigned char>(k * 7 + (k >> 12));
    if constexpr (std::is_same_v<Image, ImgFLOAT>)
        for (int y = 0; y < source.height; ++y)
            for (int x = 0; x < source.width; ++x)
                source.At(x, y) = static_cast<float>((x * 31 + y * 17) % 255);
    const double c = std::cos(0.08) * 0.97, s = std::sin(0.08) * 0.97;
    const double m[] = {c, -s, 150, s, c, -120, 1e-6, 0, 1};
    CMatrix transform(3, 3, m);
    for (auto _ : state) {
        WarpImage(source, destination, transform, state.range(0) != 0);
        benchmark::DoNotOptimize(destination.pixels);
    }
    state.counters["Mpixel/s"] =
        benchmark::Counter(4000.0 * 3000 * state.iterations() / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK_TEMPLATE(BM_WarpImage, ImgFLOAT)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_WarpImage, ImgRGB)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

ImgFLOAT WorkingImage() {
    ImgFLOAT gray;
    LoadImageFileGray(gray, 0, QString::fromStdString(Photo(0)));
    ExtractionGeometry g = ExtractionGeometryFor(gray.width, gray.height, 600, 1.0, 3.0);
    ImgFLOAT work;
    ResampleImageConsuming(gray, work, g.scale, 0.7355);
    return work;
}

void BM_DetectFeatures(benchmark::State& state) {
    ImgFLOAT work = WorkingImage();
    FeatureExtractor fx;
    for (auto _ : state)
        fx.DetectFeatures(work, 1000, 22, 6, 1.8, 10.0);
    state.counters["points"] = static_cast<double>(fx.points.size());
}
BENCHMARK(BM_DetectFeatures)->Unit(benchmark::kMillisecond);

void BM_ComputeDescriptors(benchmark::State& state) {
    ImgFLOAT work = WorkingImage();
    FeatureExtractor detected;
    detected.DetectFeatures(work, 1000, 22, 6, 1.8, 10.0);
    size_t kept = 0;
    for (auto _ : state) {
        FeatureExtractor fx = detected;
        fx.ComputeDescriptors(work, 20, 8, 64);
        kept = fx.descriptors.size();
    }
    state.counters["descriptors"] = static_cast<double>(kept);
}
BENCHMARK(BM_ComputeDescriptors)->Unit(benchmark::kMillisecond);

void BM_ExtractImageFeatures(benchmark::State& state) {
    PanoramaEngine engine;
    EngineFixture::SetImagePaths(engine, {Photo(0)});
    for (auto _ : state)
        engine.ExtractImageFeatures(0);
    state.counters["points"] = static_cast<double>(engine.Image(0).featurePoints.size());
}
BENCHMARK(BM_ExtractImageFeatures)->Unit(benchmark::kMillisecond);

struct MatchedPair {
    PanoramaEngine engine;
    MatchedPair() {
        EngineFixture::SetImagePaths(engine, {Photo(0), Photo(25)});
        engine.ExtractImageFeatures(0);
        engine.ExtractImageFeatures(1);
    }
};

MatchedPair& Pair() {
    static MatchedPair pair;
    return pair;
}

void BM_DescriptorTreeBuild(benchmark::State& state) {
    const auto& d = Pair().engine.Image(0).descriptors;
    for (auto _ : state) {
        DescriptorTree tree;
        tree.Build(d);
        benchmark::DoNotOptimize(tree.Empty());
    }
    state.counters["descriptors"] = static_cast<double>(d.size());
}
BENCHMARK(BM_DescriptorTreeBuild)->Unit(benchmark::kMillisecond);

void BM_MatchDescriptors(benchmark::State& state) {
    const ImageRecord& a = Pair().engine.Image(0);
    const ImageRecord& b = Pair().engine.Image(1);
    std::vector<PointD> P, Q;
    for (auto _ : state)
        MatchDescriptors(a.descriptors, b.descriptors, a.featurePoints, b.featurePoints, P, Q, 0.948);
    state.counters["matches"] = static_cast<double>(P.size());
}
BENCHMARK(BM_MatchDescriptors)->Unit(benchmark::kMillisecond);

// The pair fit on 200 exact inliers of a 25 degree turn (genetic search, refinement and the
// homography-seeded second start).
void BM_FitPair(benchmark::State& state) {
    PanoramaEngine engine;
    EngineFixture::SetImages(engine, {ImageRecord{"a", 1600, 1200, {}, {}}, ImageRecord{"b", 1600, 1200, {}, {}}});
    engine.SetGeneticSeed(5);
    render::ViewSpec a = BenchCamera(0, 1600, 1200, 1400), b = BenchCamera(25, 1600, 1200, 1400);
    std::vector<PointD> P, Q;
    for (int k = 0; P.size() < 200; ++k) {
        double x = 800 + (k * 37) % 800, y = 50 + (k * 53) % 1100, bx, by;
        if (render::MapBetweenViews(a, b, x, y, &bx, &by) && bx >= 0 && bx < 1600) {
            P.push_back({x, y});
            Q.push_back({bx, by});
        }
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(engine.FitPair(0, 1, P, Q).f);
}
BENCHMARK(BM_FitPair)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
