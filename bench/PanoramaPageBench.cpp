// The final stitch from the window against vedora-stitch for the same project: a ring of
// twelve 800 x 600 photographs that closes a full turn, matched once and saved, stitched at
// size 1024. The window's time runs from the press of "Final stitch" to the end of the next
// complete paint of the view (both textures made and uploaded, ended by glFinish);
// vedora-stitch's is the whole process: loading the project, the stitch and the cropped JPEG.
// Run under xvfb-run (Mesa's software renderer) from build/bench.
#include <benchmark/benchmark.h>

#include <GL/gl.h>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "BenchPrompts.h"
#include "BenchWorld.h"
#include "app/MainWindow.h"
#include "image/ImageFile.h"
#include "support/MainWindowFixture.h"
#include "view/OpenGLSupport.h"
#include "view/ZelvoGLWidget.h"
#include "view/ZelvoWidget.h"

namespace {

constexpr int kPhotos = 12;

struct Window {
    QTemporaryDir settings;
    BenchPrompts* prompts = nullptr;
    std::unique_ptr<MainWindow> window;
    Window() {
        auto owned = std::make_unique<BenchPrompts>();
        prompts = owned.get();
        prompts->dontSave = false;
        window = std::make_unique<MainWindow>(Zelvo::Chars(), std::move(owned), settings.filePath("vedora"));
        window->resize(1180, 760);
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            std::fprintf(stderr, "the window did not show\n");
        QTest::qWait(50);
    }
    void Render() {
        ZelvoGLWidget* gl = MainWindowFixture::View(*window).m_zelvoWidget->GLWidget();
        gl->makeCurrent();
        MainWindowFixture::ViewManager(*window).Render();
        glFinish();
        gl->doneCurrent();
    }
};

QTemporaryDir* folder = nullptr;
QString projectFile;

// The ring rendered, added to a window, matched and saved as a project.
bool MakeProject() {
    QStringList files;
    for (int k = 0; k < kPhotos; ++k) {
        files << folder->filePath(QString("ring%1.jpg").arg(k, 2, 10, QChar('0')));
        SaveImageFile(render::RenderView(BenchWorld(), BenchCamera(30.0 * k, 800, 600, 700)), files.back());
    }
    Window w;
    w.prompts->openFiles = files;
    MainWindowFixture::ProjectPage(*w.window).m_loadImagesButton->click();
    PanoramaEngine& engine = MainWindowFixture::Engine(*w.window);
    engine.SetGeneticSeed(7);
    if (!engine.FindOverlappingImages() || !engine.TransitionTree())
        return false;
    projectFile = folder->filePath("ring.vdp");
    w.prompts->saveFile = projectFile;
    MainWindowFixture::ProjectPage(*w.window).m_actionSaveProjectAs->trigger();
    return !engine.IsDirty();
}

void BM_FinalStitchFromTheWindow(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        Window w;
        MainWindowFixture::LoadProject(*w.window, projectFile.toUtf8().constData());
        w.Render();
        state.ResumeTiming();
        MainWindowFixture::PanoramaPage(*w.window).m_stitchPushButton->click();
        w.Render();
        state.PauseTiming();
        if (!MainWindowFixture::PanoramaPicture(*w.window, "cropImage"))
            state.SkipWithError("the stitch failed");
        state.ResumeTiming();
    }
}
BENCHMARK(BM_FinalStitchFromTheWindow)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// The engine's stitch alone in the window's engine, its hooks removed: what the window adds
// (hooks, progress dialog, pictures, texture upload) is the difference to the window's time.
void BM_EngineStitchInTheWindow(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        Window w;
        MainWindowFixture::LoadProject(*w.window, projectFile.toUtf8().constData());
        MainWindowFixture::Engine(*w.window).SetLogHook({});
        MainWindowFixture::Engine(*w.window).SetStatusHook({});
        state.ResumeTiming();
        ImgRGB stitched, cropped;
        RectD crop;
        if (!MainWindowFixture::Engine(*w.window).StitchPanorama(stitched, cropped, crop))
            state.SkipWithError("the stitch failed");
    }
}
BENCHMARK(BM_EngineStitchInTheWindow)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_FinalStitchByVedoraStitch(benchmark::State& state) {
    const std::string command = std::string("'") + VEDORA_STITCH + "' -q -o '" +
                                folder->filePath("cli.jpg").toStdString() + "' '" + projectFile.toStdString() + "'";
    for (auto _ : state)
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("vedora-stitch failed");
}
BENCHMARK(BM_FinalStitchByVedoraStitch)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    Q_INIT_RESOURCE(vedora);
    QApplication app(argc, argv);
    if (!OpenGLAvailable()) {
        std::fprintf(stderr, "bench_panorama_page needs OpenGL: run it under xvfb-run -a -s \"-screen 0 "
                             "1280x1024x24\"\n");
        return 0;
    }
    QTemporaryDir shared;
    folder = &shared;
    if (!MakeProject()) {
        std::fprintf(stderr, "the ring did not match into a closed panorama\n");
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
