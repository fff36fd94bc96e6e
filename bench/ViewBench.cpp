// The GL view on a real GL implementation (run under xvfb-run for Mesa's software renderer):
// texture loading for a project of 40 photographs, a repaint after a zoom step, and the
// upload of a long panorama. Each measurement ends with glFinish, so the GL work is counted.
#include <benchmark/benchmark.h>

#include <GL/gl.h>

#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <vector>

#include "view/GuiBitmap.h"
#include "view/OpenGLSupport.h"
#include "view/ViewCommands.h"
#include "view/ZelvoGLWidget.h"
#include "view/ZelvoWidget.h"

namespace {

// A photograph-like pattern: smooth gradients with a fine checker, so resampling has work.
void FillPhoto(ImgRGB& img, int w, int h, int seed) {
    img.Resize(w, h);
    for (int y = 0; y < h; ++y) {
        Rgb* row = img.Row(y);
        for (int x = 0; x < w; ++x) {
            const uint8_t checker = ((x >> 3) + (y >> 3)) & 1 ? 40 : 0;
            row[x] =
                Rgb{uint8_t(x * 200 / w + checker), uint8_t(y * 200 / h + seed), uint8_t((x + y + seed * 7) & 255)};
        }
    }
}

struct View {
    ZelvoWidget widget;
    View() {
        widget.resize(1024, 768);
        widget.show();
        QApplication::processEvents();
    }
    GuiMgr& Mgr() { return widget.Manager(); }
    ZelvoGLWidget& Gl() { return *widget.GLWidget(); }
    // One paint of the whole scene in the widget's context, finished.
    void Render() {
        Gl().makeCurrent();
        Mgr().Render();
        glFinish();
        Gl().doneCurrent();
    }
    void ReleaseTextures() {
        Gl().makeCurrent();
        Mgr().ReleaseAllGLResources();
        Gl().doneCurrent();
    }
};

struct Project {
    std::vector<std::unique_ptr<GuiBitmap>> photos;
    Project(View& view, int count, int w, int h, int limit) {
        std::vector<GuiRect*> grid;
        for (int i = 0; i < count; ++i) {
            auto photo = std::make_unique<GuiBitmap>();
            FillPhoto(photo->Image(), w, h, i);
            photo->SizeToImage();
            photo->SetTextureLimit(limit);
            photo->SetFlags(kGuiVisible | kGuiMovable);
            view.Mgr().Add(photo.get());
            grid.push_back(photo.get());
            photos.push_back(std::move(photo));
        }
        ArrangePictures(view.Mgr(), grid, {});
    }
};

View* sharedView = nullptr;

void BM_LoadTextures40Photos(benchmark::State& state) {
    View& view = *sharedView;
    Project project(view, 40, 1600, 1200, 512);
    view.Render();  // first contact: capabilities, GL warm-up
    for (auto _ : state) {
        state.PauseTiming();
        view.ReleaseTextures();
        state.ResumeTiming();
        view.Render();  // makes 40 textures, reduces each photograph to 512 x 512, uploads, draws
    }
    state.counters["textures"] = 40;
}
BENCHMARK(BM_LoadTextures40Photos)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_ZoomStepRepaint40Photos(benchmark::State& state) {
    View& view = *sharedView;
    Project project(view, 40, 1600, 1200, 512);
    view.Render();
    const double fitted = view.Mgr().GetZoom();
    int step = 0;
    for (auto _ : state) {
        // One wheel notch in or out about the view's centre, then the full repaint.
        view.Mgr().Wheel(512, 384, (step++ & 1) ? -120 : 120, kGuiNoModifier);
        view.Render();
    }
    view.Mgr().SetZoom(fitted, false);
}
BENCHMARK(BM_ZoomStepRepaint40Photos)->Unit(benchmark::kMillisecond)->Iterations(20)->UseRealTime();

void BM_UploadPanorama9000x1500(benchmark::State& state) {
    View& view = *sharedView;
    GuiBitmap panorama;
    FillPhoto(panorama.Image(), 9000, 1500, 3);
    panorama.SizeToImage();
    panorama.SetTextureLimit(1024);
    view.Mgr().Add(&panorama);
    view.Mgr().ZoomToFitAll();
    view.Render();
    for (auto _ : state) {
        // New pixels of the same size: the texture is kept, the image reduced and uploaded.
        panorama.MarkForUpload();
        view.Render();
    }
    state.counters["texture_w"] = panorama.Layout().textureWidth;
    state.counters["texture_h"] = panorama.Layout().textureHeight;
}
BENCHMARK(BM_UploadPanorama9000x1500)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();

// The share of one core the whole process (the software renderer's threads included) uses
// while the event loop runs for ms milliseconds.
double CoreShareWhileIdle(int ms) {
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    QElapsedTimer clock;
    clock.start();
    QEventLoop idle;
    QTimer::singleShot(ms, &idle, &QEventLoop::quit);
    idle.exec();
    getrusage(RUSAGE_SELF, &after);
    auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    const double cpu =
        seconds(after.ru_utime) - seconds(before.ru_utime) + seconds(after.ru_stime) - seconds(before.ru_stime);
    return cpu / (clock.elapsed() / 1000.0);
}

// The view with a selected panorama, its window active, nothing else to draw than the
// selection's crawling outline: the core share in the two seconds after the selection (the
// outline crawls) and in two seconds after four without input (it rests).
void BM_IdleWithSelection(benchmark::State& state) {
    View& view = *sharedView;
    GuiBitmap panorama;
    FillPhoto(panorama.Image(), 4000, 1000, 5);
    panorama.SizeToImage();
    panorama.SetTextureLimit(2048);
    panorama.SetFlags(kGuiVisible | kGuiMovable);
    view.Mgr().Add(&panorama);
    view.Mgr().ZoomToFitAll();
    view.widget.activateWindow();
    view.widget.raise();
    view.Render();
    double crawling = 0, resting = 0;
    for (auto _ : state) {
        view.Mgr().Select(&panorama);
        crawling = CoreShareWhileIdle(2000);
        CoreShareWhileIdle(2000);
        resting = CoreShareWhileIdle(2000);
    }
    view.Mgr().Select(nullptr);
    state.counters["crawling_core_pct"] = 100 * crawling;
    state.counters["resting_core_pct"] = 100 * resting;
    state.counters["window_active"] = view.widget.isActiveWindow() ? 1 : 0;
}
BENCHMARK(BM_IdleWithSelection)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    QApplication app(argc, argv);
    if (!OpenGLAvailable()) {
        std::fprintf(stderr, "bench_view needs OpenGL: run it under xvfb-run -a -s \"-screen 0 1280x1024x24\"\n");
        return 0;
    }
    View view;
    sharedView = &view;
    view.Gl().makeCurrent();
    const GLubyte* version = glGetString(GL_VERSION);
    const GLubyte* renderer = glGetString(GL_RENDERER);
    std::fprintf(stderr, "GL: %s | %s\n", version ? reinterpret_cast<const char*>(version) : "?",
                 renderer ? reinterpret_cast<const char*>(renderer) : "?");
    view.Gl().doneCurrent();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    sharedView = nullptr;
    return 0;
}
