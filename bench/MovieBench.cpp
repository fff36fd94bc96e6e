// QuickTime VR movies: writing a 9000 x 1500 panorama with 8 tiles at "high", reading it back
// (what opening it in the viewer costs) and the viewer's redraw while panning at 640 x 480.
#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>

#include <cmath>
#include <numbers>

#include "BenchWorld.h"
#include "movie/CylinderView.h"
#include "movie/VrMovieReader.h"
#include "movie/VrMovieWriter.h"

namespace {

// The shipped world on a 360-degree cylinder: photographic detail, as a stitched panorama has.
const ImgRGB& Panorama() {
    static ImgRGB panorama = [] {
        const int w = 9000, h = 1500;
        const double radius = w / (2 * std::numbers::pi);
        ImgRGB out(w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                double yaw = (x + 0.5) / radius, up = (h / 2.0 - y - 0.5) / radius, rgb[3];
                BenchWorld().Sample(render::Vec3{std::sin(yaw), -up, std::cos(yaw)}, rgb);
                out.At(x, y) = Rgb{uint8_t(rgb[2]), uint8_t(rgb[1]), uint8_t(rgb[0])};
            }
        return out;
    }();
    return panorama;
}

std::string MoviePath() { return (QDir::tempPath() + "/vedora-bench-movie.mov").toStdString(); }

VrMovieSettings BenchSettings() {
    VrMovieSettings s;
    s.tiles = 8;
    s.quality = VrQuality::High;
    return s;
}

void WriteMovie9000x1500(benchmark::State& state) {
    const ImgRGB& panorama = Panorama();
    std::string why;
    for (auto _ : state)
        if (!WriteVrMovie(panorama, BenchSettings(), MoviePath(), &why))
            state.SkipWithError(why.c_str());
}
BENCHMARK(WriteMovie9000x1500)->Unit(benchmark::kMillisecond)->UseRealTime();

void OpenMovie9000x1500(benchmark::State& state) {
    std::string why;
    if (!WriteVrMovie(Panorama(), BenchSettings(), MoviePath(), &why))
        state.SkipWithError(why.c_str());
    for (auto _ : state) {
        VrMovie movie;
        if (!ReadVrMovieFile(MoviePath(), &movie, &why))
            state.SkipWithError(why.c_str());
        benchmark::DoNotOptimize(movie.panorama.pixels);
    }
    QFile::remove(QString::fromStdString(MoviePath()));
}
BENCHMARK(OpenMovie9000x1500)->Unit(benchmark::kMillisecond)->UseRealTime();

// One redraw per step of a pan across the seam; the argument is the tilt in degrees.
void PanRedraw640x480(benchmark::State& state) {
    const ImgRGB& panorama = Panorama();
    VrAngles angles = AnglesForPanorama(9000, 1500, 360, 640, 480);
    Cylinder cylinder = CylinderOf(9000, 1500, angles);
    ImgRGB frame(640, 480);
    ViewAngles view{350, double(state.range(0)), angles.maxFov * 0.8};
    for (auto _ : state) {
        view.pan = std::fmod(view.pan + 1.0, 360.0);
        RenderCylinderView(panorama, cylinder, view, frame);
        benchmark::DoNotOptimize(frame.pixels);
    }
}
BENCHMARK(PanRedraw640x480)->Arg(0)->Arg(10)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
