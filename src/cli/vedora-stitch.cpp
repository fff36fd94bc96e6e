// vedora-stitch: the engine from the command line. This version matches: it finds which
// photographs overlap, fits every overlapping pair and writes the project.
#include <unistd.h>

#include <QLoggingCategory>

#include <csignal>
#include <cstdio>
#include <new>
#include <string>

#include "cli/CommandLine.h"
#include "cli/Progress.h"
#include "project/ProjectStore.h"
#include "xml/XmlDocument.h"

namespace {

volatile std::sig_atomic_t interrupted = 0;

void OnInterrupt(int) { interrupted = 1; }

int Fail(const std::string& message) {
    std::fprintf(stderr, "vedora-stitch: %s\n", message.c_str());
    return 2;
}

bool EndsWith(const std::string& s, const char* suffix) {
    std::string tail(suffix);
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

void PrintNodes(const Zelvo::XmlElement* parent, int depth) {
    for (Zelvo::XmlElement* node : parent->ChildElements("Node")) {
        std::printf("%*s%s\n", 2 * depth, "", node->Attribute("item", false)->Value().c_str());
        PrintNodes(node, depth + 1);
    }
}

void ApplyOptions(const CommandLine& cl, PanoramaEngine& engine) {
    for (const ParameterSpec& spec : ProjectParameters())
        if (cl.Parameter(spec.id))
            engine.SetParameter(spec.id, *cl.Parameter(spec.id));
    if (cl.seed)
        engine.SetGeneticSeed(*cl.seed);
}

}  // namespace

int main(int argc, char** argv) {
    // The decoder's own warnings about damaged files would interleave with the progress; a
    // damaged photograph is reported by name instead.
    QLoggingCategory::setFilterRules("qt.gui.imageio.*=false");
    CommandLine cl;
    std::string message;
    if (!ParseCommandLine(argc, argv, cl, &message)) {
        std::fprintf(stderr, "vedora-stitch: %s\n(see vedora-stitch --help)\n", message.c_str());
        return 2;
    }
    if (cl.help) {
        std::fputs(Usage().c_str(), stdout);
        return 0;
    }
    if (cl.version) {
        std::puts("vedora-stitch 1.02");
        return 0;
    }

    PanoramaEngine engine;
    Zelvo::XmlDocument document;
    bool fromProject = cl.inputs.size() == 1 && EndsWith(cl.inputs[0], ".vdp");
    ProjectStore store(engine, document);
    if (fromProject) {
        if (!store.Load(cl.inputs[0]))
            return Fail(store.LastError());
    } else {
        for (const std::string& input : cl.inputs) {
            int w, h;
            if (!ProjectStore::ImageSize(input, 0, &w, &h))
                return Fail("cannot read image " + input + " (missing, a folder, or not an image)");
        }
        if (!store.Create(cl.inputs))
            return Fail(store.LastError());
    }
    ApplyOptions(cl, engine);
    std::string reference;
    if (cl.reference) {
        reference = *cl.reference;
        for (char& c : reference)
            if (c == '\\')
                c = '/';
        if (engine.FindImage(reference.c_str()) < 0)
            return Fail("--reference " + reference + " is not one of the images");
    }

    Progress progress(stderr, cl.quiet, ::isatty(STDERR_FILENO) == 1);
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

    try {
        engine.FindOverlappingImages();
        if (!reference.empty() && engine.MainTree())
            engine.SetReferenceImagePath(reference.c_str());  // matching picks its own; the user's wins
    } catch (const std::bad_alloc&) {
        progress.Finish();
        return Fail("not enough memory to finish matching; nothing written");
    }
    progress.Finish();
    const EngineFailure failure = engine.LastFailure();
    if (interrupted || failure == EngineFailure::Aborted) {
        std::fputs("vedora-stitch: interrupted; nothing written\n", stderr);
        return 130;
    }
    if (failure == EngineFailure::UnreadableImage || failure == EngineFailure::OutOfMemory ||
        failure == EngineFailure::Failed)
        return Fail(engine.LastError() + "; nothing written");

    std::unique_ptr<Zelvo::XmlDocument> hierarchy = engine.HierarchyDocument("Hierarchy");
    PrintNodes(hierarchy->Root(), 0);
    int matched = 0;
    for (const ImageCombination& pair : engine.Combinations()) {
        if (!pair.matched)
            continue;
        ++matched;
        std::printf("%d-%d: %d matches, err %.2f px, f %.1f px\n", pair.first, pair.second,
                    static_cast<int>(pair.P.size()), pair.error, pair.f);
    }
    std::fflush(stdout);
    if (!store.Save(cl.project))
        return Fail(store.LastError());
    return failure == EngineFailure::None && matched > 0 ? 0 : 1;
}
