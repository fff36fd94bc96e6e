#include "cli/EngineRun.h"

#include <csignal>
#include <cstdio>

namespace {

volatile std::sig_atomic_t interrupted = 0;

void OnInterrupt(int) { interrupted = 1; }

}  // namespace

int Fail(const std::string& message) {
    std::fprintf(stderr, "vedora-stitch: %s\n", message.c_str());
    return kError;
}

bool Interrupted() { return interrupted != 0; }

void InstallHooks(PanoramaEngine& engine, Progress& progress) {
    engine.SetLogHook([&](const char* text) {
        progress.LogText(text);
        return interrupted != 0;
    });
    engine.SetStatusHook([&](const char* text) {
        progress.StatusText(text);
        return interrupted != 0;
    });
    engine.SetProgressHook([&](int step, int total) { progress.StepOf(step, total); });
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
}

void ApplyOptions(const CommandLine& cl, PanoramaEngine& engine) {
    for (const ParameterSpec& spec : ProjectParameters())
        if (cl.Parameter(spec.id))
            engine.SetParameter(spec.id, *cl.Parameter(spec.id));
    if (cl.seed)
        engine.SetGeneticSeed(*cl.seed);
}

void ApplyStitchOptions(const CommandLine& cl, PanoramaEngine& engine, const std::string& scratchFolder) {
    ApplyOptions(cl, engine);
    if (cl.size) {
        engine.SetPanoramaImageSize(*cl.size);
        engine.SetPanoramaPreviewImageSize(*cl.size);
    }
    if (cl.memoryMegabytes)
        engine.SetMemoryBudget(static_cast<size_t>(*cl.memoryMegabytes) << 20);
    engine.SetScratchFolder(scratchFolder);
    if (cl.noCrop360)
        engine.SetDoCrop360Degrees(false);
    engine.SetFitAllPairs(!cl.treeFit);
    engine.SetMatchEveryPair(cl.matchAllPairs);
}

bool OpenProject(const CommandLine& cl, ProjectStore& store, std::string* message) {
    if (cl.FromProject()) {
        if (store.Load(cl.inputs[0]))
            return true;
        *message = store.LastError();
        return false;
    }
    for (const std::string& input : cl.inputs) {
        int w, h;
        if (!ProjectStore::ImageSize(input, 0, &w, &h)) {
            *message = "cannot read image " + input + " (missing, a folder, or not an image)";
            return false;
        }
    }
    if (!store.Create(cl.inputs)) {
        *message = store.LastError();
        return false;
    }
    for (const std::string& note : store.Notes())
        std::fprintf(stderr, "vedora-stitch: %s\n", note.c_str());
    return true;
}
