// vedora-stitch: the engine from the command line. This version matches: it finds which
// photographs overlap, fits every overlapping pair and writes the project.
#include <unistd.h>

#include <QLoggingCategory>

#include <csignal>
#include <cstdio>
#include <new>
#include <string>

#include "cli/CommandLine.h"
#include "cli/OutputFiles.h"
#include "cli/Progress.h"
#include "project/ProjectStore.h"
#include "xml/XmlDocument.h"

namespace {

volatile std::sig_atomic_t interrupted = 0;

void OnInterrupt(int) { interrupted = 1; }

constexpr int kMatched = 0;
constexpr int kNoOverlap = 1;
constexpr int kError = 2;
constexpr int kInterrupted = 130;

int Fail(const std::string& message) {
    std::fprintf(stderr, "vedora-stitch: %s\n", message.c_str());
    return kError;
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

// The overlap hierarchy and the matched pairs on stdout. A reader that went away (a pipe into
// head) only means nothing more is printed: SIGPIPE is ignored, so the writes fail quietly.
void PrintResults(const PanoramaEngine& engine) {
    std::unique_ptr<Zelvo::XmlDocument> hierarchy = engine.HierarchyDocument("Hierarchy");
    PrintNodes(hierarchy->Root(), 0);
    for (const ImageCombination& pair : engine.Combinations())
        if (pair.matched)
            std::printf("%d-%d: %d matches, err %.2f px, f %.1f px\n", pair.first, pair.second,
                        static_cast<int>(pair.P.size()), pair.error, pair.f);
    std::fflush(stdout);
}

int MatchedPairs(const PanoramaEngine& engine) {
    int matched = 0;
    for (const ImageCombination& pair : engine.Combinations())
        matched += pair.matched ? 1 : 0;
    return matched;
}

void ApplyOptions(const CommandLine& cl, PanoramaEngine& engine) {
    for (const ParameterSpec& spec : ProjectParameters())
        if (cl.Parameter(spec.id))
            engine.SetParameter(spec.id, *cl.Parameter(spec.id));
    if (cl.seed)
        engine.SetGeneticSeed(*cl.seed);
}

// Where the run writes, checked before any work: never over an input, never into a folder
// that cannot take the file.
std::string OutputProblem(const CommandLine& cl) {
    // A project may be written back over the project it was read from (the save replaces it
    // whole or not at all); never over a photograph.
    const std::string overwritten = InputAt(cl.project, cl.inputs);
    if (!overwritten.empty() && !EndsWith(overwritten, ".vdp"))
        return "the project " + cl.project + " would overwrite the input " + overwritten;
    const std::string problem = WriteProblem(cl.project);
    return problem.empty() ? problem : "cannot write the project: " + problem;
}

// The project to work on: a saved one, or a new one holding the photographs.
bool OpenProject(const CommandLine& cl, ProjectStore& store, std::string* message) {
    if (cl.inputs.size() == 1 && EndsWith(cl.inputs[0], ".vdp")) {
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

int Run(CommandLine& cl) {
    cl.project = WithProjectSuffix(cl.project);
    const std::string outputProblem = OutputProblem(cl);
    if (!outputProblem.empty())
        return Fail(outputProblem);

    PanoramaEngine engine;
    Zelvo::XmlDocument document;
    ProjectStore store(engine, document);
    std::string message;
    if (!OpenProject(cl, store, &message))
        return Fail(message);
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
    InstallHooks(engine, progress);
    engine.FindOverlappingImages();
    if (!reference.empty() && engine.MainTree())
        engine.SetReferenceImagePath(reference.c_str());  // matching picks its own; the user's wins
    progress.Finish();

    const EngineFailure failure = engine.LastFailure();
    if (interrupted || failure == EngineFailure::Aborted) {
        std::fputs("vedora-stitch: interrupted; nothing written\n", stderr);
        return kInterrupted;
    }
    if (failure != EngineFailure::None && failure != EngineFailure::NoOverlap)
        return Fail(engine.LastError() + "; nothing written");
    // The project is written before anything is printed, so a closed stdout cannot cost it.
    if (!store.Save(cl.project))
        return Fail(store.LastError());
    PrintResults(engine);
    return failure == EngineFailure::None && MatchedPairs(engine) > 0 ? kMatched : kNoOverlap;
}

}  // namespace

int main(int argc, char** argv) {
    // The decoder's own warnings about damaged files would interleave with the progress; a
    // damaged photograph is reported by name instead.
    QLoggingCategory::setFilterRules("qt.gui.imageio.*=false");
    std::signal(SIGPIPE, SIG_IGN);

    CommandLine cl;
    std::string message;
    if (!ParseCommandLine(argc, argv, cl, &message)) {
        std::fprintf(stderr, "vedora-stitch: %s\n(see vedora-stitch --help)\n", message.c_str());
        return kError;
    }
    if (cl.help) {
        std::fputs(Usage().c_str(), stdout);
        return 0;
    }
    if (cl.version) {
        std::puts("vedora-stitch 1.02");
        return 0;
    }
    try {
        return Run(cl);
    } catch (const std::bad_alloc&) {
        return Fail("not enough memory; nothing written");
    } catch (const char* thrown) {
        return Fail(std::string(thrown) + "; nothing written");
    }
}
