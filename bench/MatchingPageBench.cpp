// Automatic matching from the window against the command line, on the same 12 photographs of
// 1600 x 1200 (a 360-degree ring, 30 degrees apart, f = 1400, rendered from the shipped world):
//   BM_WindowAutomaticMatching   "Automatic matching" on the real window under xvfb-run: the
//                                progress dialog, every hook with its event processing, the
//                                hierarchy in the tree and the pictures aligned, up to the end
//                                of the next complete paint of the view (glFinish);
//   BM_VedoraStitchMatchOnly     `vedora-stitch --match-only -q` as a whole process;
//   BM_EngineMatching            FindOverlappingImages on a bare engine without hooks.
// All use the same genetic seed.
#include <benchmark/benchmark.h>

#include <GL/gl.h>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <memory>

#include <sys/resource.h>

#include "BenchPrompts.h"
#include "BenchWorld.h"
#include "app/MainWindow.h"
#include "image/ImageFile.h"
#include "support/MainWindowFixture.h"
#include "support/RunProgram.h"
#include "view/OpenGLSupport.h"
#include "view/ZelvoGLWidget.h"
#include "view/ZelvoWidget.h"
#include "xml/XmlDocument.h"

namespace {

constexpr int kPhotos = 12;
constexpr int kSeed = 17;

struct Photographs {
    QTemporaryDir folder;
    QStringList files;
    Photographs() {
        for (int k = 0; k < kPhotos; ++k) {
            files << folder.filePath(QString("view%1.jpg").arg(k, 2, 10, QChar('0')));
            SaveImageFile(render::RenderView(BenchWorld(), BenchCamera(30.0 * k, 1600, 1200, 1400)), files.back());
        }
    }
};

Photographs* photographs = nullptr;

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + 1e-6 * (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

// The processor time of the finished child processes (user and system, all their threads).
double ChildrenCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + 1e-6 * (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

int MatchedPairs(const PanoramaEngine& engine) {
    int matched = 0;
    for (const ImageCombination& pair : engine.Combinations())
        matched += pair.matched;
    return matched;
}

void BM_WindowAutomaticMatching(benchmark::State& state) {
    QTemporaryDir settings;
    auto owned = std::make_unique<BenchPrompts>();
    BenchPrompts* prompts = owned.get();
    MainWindow window(Zelvo::Chars(), std::move(owned), settings.filePath("vedora"));
    window.resize(1180, 760);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        std::fprintf(stderr, "the window did not show\n");
    prompts->openFiles = photographs->files;
    MainWindowFixture::ProjectPage(window).m_loadImagesButton->click();
    MainWindowFixture::Frame(window).m_matchingToolButton->click();
    QTest::qWait(200);
    PanoramaEngine& engine = MainWindowFixture::Engine(window);
    engine.SetGeneticSeed(kSeed);
    ZelvoGLWidget* gl = MainWindowFixture::View(window).m_zelvoWidget->GLWidget();
    double cpu = 0;
    int matched = 0;
    for (auto _ : state) {
        cpu -= ProcessCpuSeconds();
        MainWindowFixture::MatchingPage(window).m_automaticMatchingButton->click();
        gl->makeCurrent();
        MainWindowFixture::ViewManager(window).Render();
        glFinish();
        gl->doneCurrent();
        cpu += ProcessCpuSeconds();
        matched = MatchedPairs(engine);
        if (!engine.MainTree())
            state.SkipWithError("matching failed");
    }
    state.counters["pairs"] = matched;
    state.counters["cpu_s"] = cpu / static_cast<double>(state.iterations());
}
BENCHMARK(BM_WindowAutomaticMatching)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_VedoraStitchMatchOnly(benchmark::State& state) {
    QTemporaryDir work;
    std::vector<std::string> args{"--match-only",        "-q",        "--seed",
                                  std::to_string(kSeed), "--project", work.filePath("ring.vdp").toStdString()};
    for (const QString& file : photographs->files)
        args.push_back(file.toStdString());
    double cpu = 0;
    for (auto _ : state) {
        cpu -= ChildrenCpuSeconds();
        RunResult run = RunProgram(VEDORA_STITCH, args, work.path().toStdString());
        cpu += ChildrenCpuSeconds();
        if (run.status != 0)
            state.SkipWithError(("vedora-stitch failed: " + run.err).c_str());
    }
    state.counters["cpu_s"] = cpu / static_cast<double>(state.iterations());
}
BENCHMARK(BM_VedoraStitchMatchOnly)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_EngineMatching(benchmark::State& state) {
    PanoramaEngine engine;
    Zelvo::XmlDocument document;
    document.Reset("VedoraProject");
    Zelvo::XmlElement* images =
        document.Root()->FindDescendant("Panorama", "name", "panorama", true)->FindChild("Images", true);
    for (const QString& file : photographs->files) {
        auto* image = new Zelvo::XmlElement("Image");
        images->AppendChild(image);
        image->Attribute("path", true)->Set(file.toUtf8().constData());
        image->Attribute("w", true)->SetInt(1600);
        image->Attribute("h", true)->SetInt(1200);
    }
    engine.SyncImages(document);
    engine.SetGeneticSeed(kSeed);
    int matched = 0;
    for (auto _ : state) {
        if (!engine.FindOverlappingImages())
            state.SkipWithError("matching failed");
        matched = MatchedPairs(engine);
    }
    state.counters["pairs"] = matched;
}
BENCHMARK(BM_EngineMatching)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    Q_INIT_RESOURCE(vedora);
    QApplication app(argc, argv);
    if (!OpenGLAvailable()) {
        std::fprintf(stderr, "bench_matching_page needs OpenGL: run it under xvfb-run -a -s \"-screen 0 "
                             "1280x1024x24\"\n");
        return 0;
    }
    Photographs shared;
    photographs = &shared;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    photographs = nullptr;
    return 0;
}
