// Image library benchmarks on 12-megapixel images made here (no files from outside).
#include <benchmark/benchmark.h>

#include <QDir>
#include <QImage>

#include <cmath>
#include <vector>

#include "image/GaussianSmooth.h"
#include "image/ImageFile.h"
#include "image/ImgTypes.h"

namespace {

constexpr int kW = 4000, kH = 3000;

void FillTexture(ImgFLOAT& img) {
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x)
            img.At(x, y) = static_cast<float>(128 + 60 * std::sin(x * 0.05) * std::cos(y * 0.07) + (x * y) % 17);
}

// The plain alternative: a separable convolution with a sampled Gaussian of radius 3 sigma.
void SeparableConvolution(ImgFLOAT& img, double sigma) {
    int r = static_cast<int>(std::ceil(3 * sigma));
    std::vector<float> k(static_cast<size_t>(2 * r + 1));
    double sum = 0;
    for (int i = -r; i <= r; ++i)
        sum += k[i + r] = static_cast<float>(std::exp(-i * i / (2 * sigma * sigma)));
    for (auto& v : k)
        v = static_cast<float>(v / sum);
    ImgFLOAT tmp(img.width, img.height);
    for (int y = 0; y < img.height; ++y) {
        const float* in = img.Row(y);
        float* out = tmp.Row(y);
        for (int x = 0; x < img.width; ++x) {
            float s = 0;
            for (int i = -r; i <= r; ++i)
                s += k[i + r] * in[std::clamp(x + i, 0, img.width - 1)];
            out[x] = s;
        }
    }
    std::vector<const float*> rows(static_cast<size_t>(2 * r + 1));
    for (int y = 0; y < img.height; ++y) {
        for (int i = -r; i <= r; ++i)
            rows[i + r] = tmp.Row(std::clamp(y + i, 0, img.height - 1));
        float* out = img.Row(y);
        for (int x = 0; x < img.width; ++x) {
            float s = 0;
            for (int i = 0; i <= 2 * r; ++i)
                s += k[i] * rows[i][x];
            out[x] = s;
        }
    }
}

void BM_GaussianSmooth(benchmark::State& state) {
    ImgFLOAT img(kW, kH);
    FillTexture(img);
    double sigma = state.range(0) / 10.0;
    for (auto _ : state)
        GaussianSmooth(img, sigma);
    state.counters["Mpixel/s"] =
        benchmark::Counter(double(kW) * kH * state.iterations() / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_GaussianSmooth)->Arg(18)->Arg(36)->Arg(300)->Unit(benchmark::kMillisecond);

void BM_SeparableConvolution(benchmark::State& state) {
    ImgFLOAT img(kW, kH);
    FillTexture(img);
    double sigma = state.range(0) / 10.0;
    for (auto _ : state)
        SeparableConvolution(img, sigma);
}
BENCHMARK(BM_SeparableConvolution)->Arg(18)->Arg(36)->Arg(300)->Unit(benchmark::kMillisecond);

QString TwelveMegapixelJpeg() {
    static QString path;
    if (path.isEmpty()) {
        QImage img(kW, kH, QImage::Format_RGB32);
        for (int y = 0; y < kH; ++y) {
            auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
            for (int x = 0; x < kW; ++x)
                line[x] = qRgb(static_cast<int>(128 + 100 * std::sin(x * 0.013 + y * 0.002)), (x ^ y) & 255,
                               static_cast<int>(128 + 100 * std::cos(y * 0.011)));
        }
        path = QDir::temp().filePath("vedora-bench-12mp.jpg");
        img.save(path, "JPG", 92);
    }
    return path;
}

void BM_QImageLoad(benchmark::State& state) {
    QString path = TwelveMegapixelJpeg();
    for (auto _ : state) {
        QImage img;
        benchmark::DoNotOptimize(img.load(path));
    }
}
BENCHMARK(BM_QImageLoad)->Unit(benchmark::kMillisecond);

void BM_LoadImageFile(benchmark::State& state) {
    QString path = TwelveMegapixelJpeg();
    for (auto _ : state) {
        ImgRGB img;
        benchmark::DoNotOptimize(LoadImageFile(img, static_cast<int>(state.range(0)), path));
    }
}
BENCHMARK(BM_LoadImageFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

template <class Image>
void FillBytes(Image& img) {
    for (size_t k = 0; k < img.ByteCount(); ++k)
        img.pixels[k] = static_cast<unsigned char>(k * 7 + (k >> 12));
}

template <class Image>
void BM_FilterDecimate(benchmark::State& state) {
    Image src(kW, kH);
    FillBytes(src);
    int size = static_cast<int>(state.range(0));
    ImgFLOAT kernel(size, size);
    kernel.FillRect(0, 0, size - 1, size - 1, 1.0f / (size * size));
    Image dst(kW / 2, kH / 2);
    for (auto _ : state)
        src.FilterDecimate(kernel, dst, 2, 2);
    state.counters["Mpixel/s"] =
        benchmark::Counter(double(kW) * kH * state.iterations() / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK_TEMPLATE(BM_FilterDecimate, ImgFLOAT)->Arg(3)->Arg(5)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_FilterDecimate, ImgUCHAR)->Arg(3)->Arg(5)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_FilterDecimate, ImgRGB)->Arg(3)->Arg(5)->Unit(benchmark::kMillisecond);

void BM_CopyRectRgbToFloat(benchmark::State& state) {
    ImgRGB src(kW, kH);
    FillBytes(src);
    ImgFLOAT dst(kW, kH);
    for (auto _ : state)
        src.CopyTo(dst);
    state.counters["Mpixel/s"] =
        benchmark::Counter(double(kW) * kH * state.iterations() / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_CopyRectRgbToFloat)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
