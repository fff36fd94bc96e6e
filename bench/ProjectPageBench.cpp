// The project page on a real GL view (run under xvfb-run for Mesa's software renderer):
// adding 40 photographs of 1600 x 1200 to a new project, and loading a saved project of 40
// photographs with 80 matched pairs. Each measurement includes decoding, the pictures, the
// image list, the engine's take-over of the list and the first complete paint of the view
// with every texture made and uploaded (ended by glFinish).
#include <benchmark/benchmark.h>

#include <GL/gl.h>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <cstdio>
#include <memory>

#include <sys/resource.h>

#include "BenchPrompts.h"
#include "BenchWorld.h"
#include "app/MainWindow.h"
#include "image/ImageFile.h"
#include "support/MainWindowFixture.h"
#include "view/OpenGLSupport.h"
#include "view/ZelvoGLWidget.h"
#include "view/ZelvoWidget.h"

namespace {

constexpr int kPhotos = 40;

struct Photographs {
    QTemporaryDir folder;
    QStringList files;
    std::vector<render::ViewSpec> views;
    // Two rows of twenty around the horizon, 18 degrees apart, f = 1400: a 360-degree ring.
    Photographs() {
        for (int k = 0; k < kPhotos; ++k) {
            render::ViewSpec v = BenchCamera(18.0 * (k / 2), 1600, 1200, 1400);
            v.pitch = k % 2 ? -15 : 15;
            views.push_back(v);
            files << folder.filePath(QString("photo%1.jpg").arg(k, 2, 10, QChar('0')));
            SaveImageFile(render::RenderView(BenchWorld(), v), files.back());
        }
    }
};

Photographs* photographs = nullptr;

// CPU seconds of the whole process, every thread (the GL renderer's too).
double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + 1e-6 * (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

// Wall time of the work and the process's CPU time for it, per iteration: on a loaded
// machine the wall time stretches while the CPU time stays what the work costs.
struct PhaseTimer {
    QElapsedTimer wall;
    double cpu = 0;
    void Start() {
        cpu -= ProcessCpuSeconds();
        wall.start();
    }
    double Stop() {
        cpu += ProcessCpuSeconds();
        return wall.nsecsElapsed() * 1e-6;
    }
};
QString projectFile;

struct Window {
    QTemporaryDir settings;
    BenchPrompts* prompts = nullptr;
    std::unique_ptr<MainWindow> window;
    explicit Window(const Zelvo::Chars& project = Zelvo::Chars()) {
        auto owned = std::make_unique<BenchPrompts>();
        prompts = owned.get();
        window = std::make_unique<MainWindow>(project, std::move(owned), settings.filePath("vedora"));
        window->resize(1180, 760);
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            std::fprintf(stderr, "the window did not show\n");
        QTest::qWait(50);
    }
    // One complete paint of the scene in the view's context, finished.
    void Render() {
        ZelvoGLWidget* gl = MainWindowFixture::View(*window).m_zelvoWidget->GLWidget();
        gl->makeCurrent();
        MainWindowFixture::ViewManager(*window).Render();
        glFinish();
        gl->doneCurrent();
    }
    void AddPhotographs() {
        prompts->openFiles = photographs->files;
        MainWindowFixture::ProjectPage(*window).m_loadImagesButton->click();
    }
};

void BM_AddFortyPhotographs(benchmark::State& state) {
    PhaseTimer add, paint;
    for (auto _ : state) {
        state.PauseTiming();
        auto w = std::make_unique<Window>();
        state.ResumeTiming();
        add.Start();
        w->AddPhotographs();
        const double addMs = add.Stop();
        paint.Start();
        w->Render();
        const double paintMs = paint.Stop();
        state.PauseTiming();
        std::fprintf(stderr, "add %.0f ms, final paint %.0f ms\n", addMs, paintMs);
        if (MainWindowFixture::Engine(*w->window).ImageCount() != kPhotos)
            state.SkipWithError("not every photograph was added");
        w.reset();
        state.ResumeTiming();
    }
    state.counters["photographs"] = kPhotos;
    state.counters["cpu_s"] = (add.cpu + paint.cpu) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_AddFortyPhotographs)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_LoadProjectOfFortyWithEightyPairs(benchmark::State& state) {
    PhaseTimer load, paint;
    for (auto _ : state) {
        state.PauseTiming();
        auto w = std::make_unique<Window>();
        state.ResumeTiming();
        load.Start();
        MainWindowFixture::LoadProject(*w->window, projectFile.toUtf8().constData());
        const double loadMs = load.Stop();
        paint.Start();
        w->Render();
        const double paintMs = paint.Stop();
        state.PauseTiming();
        std::fprintf(stderr, "load %.0f ms, final paint %.0f ms\n", loadMs, paintMs);
        int matched = 0;
        for (const ImageCombination& pair : MainWindowFixture::Engine(*w->window).Combinations())
            matched += pair.matched;
        if (matched != 80)
            state.SkipWithError("the project did not load with its pairs");
        w.reset();
        state.ResumeTiming();
    }
    state.counters["pairs"] = 80;
    state.counters["cpu_s"] = (load.cpu + paint.cpu) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_LoadProjectOfFortyWithEightyPairs)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// 80 pairs of neighbours (along each row and between the rows), each with 30 true
// correspondences from the renderer's cameras, saved as a project.
void MakeProject(const QString& file) {
    Window w;
    w.AddPhotographs();
    PanoramaEngine& engine = MainWindowFixture::Engine(*w.window);
    int pairs = 0;
    for (int a = 0; a < kPhotos && pairs < 80; ++a)
        for (int step : {1, 2}) {
            const int b = (a + step) % kPhotos;
            std::vector<PointD> P, Q;
            for (int i = 0; i < 30; ++i) {
                double x = 100 + (i * 397) % 1400, y = 100 + (i * 211) % 1000, bx, by;
                if (render::MapBetweenViews(photographs->views[a], photographs->views[b], x, y, &bx, &by) && bx >= 0 &&
                    by >= 0 && bx < 1600 && by < 1200) {
                    P.push_back({x, y});
                    Q.push_back({bx, by});
                }
            }
            if (P.size() >= 6 && pairs < 80 && engine.SetCombinationPoints(a, b, P, Q))
                ++pairs;
        }
    std::fprintf(stderr, "project: %d matched pairs\n", pairs);
    w.prompts->saveFile = file;
    MainWindowFixture::ProjectPage(*w.window).m_actionSaveProjectAs->trigger();
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    Q_INIT_RESOURCE(vedora);
    QApplication app(argc, argv);
    if (!OpenGLAvailable()) {
        std::fprintf(stderr, "bench_project_page needs OpenGL: run it under xvfb-run -a -s \"-screen 0 "
                             "1280x1024x24\"\n");
        return 0;
    }
    Photographs shared;
    photographs = &shared;
    QTemporaryDir projects;
    projectFile = projects.filePath("forty.vdp");
    MakeProject(projectFile);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    photographs = nullptr;
    return 0;
}
