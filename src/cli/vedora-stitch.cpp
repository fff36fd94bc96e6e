// vedora-stitch: the engine from the command line. It finds which photographs overlap, fits
// every overlapping pair, fits the cameras and draws the panorama, and writes the project.
#include <unistd.h>

#include <QLoggingCategory>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "cli/CamerasJson.h"
#include "cli/CommandLine.h"
#include "cli/EngineRun.h"
#include "cli/GroupsRun.h"
#include "cli/OutputFiles.h"
#include "cli/Progress.h"
#include "cli/ReportFile.h"
#include "engine/ProjectStore.h"
#include "engine/VedoraVersion.h"
#include "image/ImageFile.h"
#include "image/RowImageWriter.h"
#include "movie/VrMovieWriter.h"
#include "xml/XmlDocument.h"

namespace {

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

// Where the run writes, checked before any work: never over an input, never into a folder
// that cannot take the file.
std::string OutputProblem(const std::string& what, const std::string& path, const std::vector<std::string>& inputs,
                          bool mayReplaceProject) {
    // A project may be written back over the project it was read from (the save replaces it
    // whole or not at all); never over a photograph, whatever its name.
    const std::string overwritten = InputAt(path, inputs);
    if (!overwritten.empty() && !(mayReplaceProject && EndsWith(overwritten, ".vdp")))
        return what + " " + path + " would overwrite the input " + overwritten;
    const std::string problem = WriteProblem(path);
    return problem.empty() ? problem : "cannot write " + what + ": " + problem;
}

std::string OutputsProblem(const CommandLine& cl) {
    // Every file the run writes, checked against the inputs and against the outputs before it:
    // two outputs in one file would leave only the last, whatever their suffixes.
    std::vector<std::pair<std::string, std::string>> outputs;  // what, path
    auto check = [&](const std::string& what, const std::string& path, const std::vector<std::string>& inputs,
                     bool mayReplaceProject) {
        std::string problem = OutputProblem(what, path, inputs, mayReplaceProject);
        for (const auto& [otherWhat, other] : outputs)
            if (problem.empty() && (other == path || SameFile(other, path)))
                problem = what + " " + path + " is the same file as " + otherWhat + " " + other;
        outputs.emplace_back(what, path);
        return problem;
    };
    auto image = [&](const std::string& what, const std::string& path) {
        if (!RowImageWriter::WritesSuffixOf(path))
            return "cannot write " + path + ": no writer for that image format";
        return check(what, path, cl.inputs, false);
    };
    std::string problem;
    // Only a project that was read may be written back over itself; a photograph named like a
    // project is a photograph.
    if (!cl.project.empty())
        problem = check("the project", cl.project, cl.inputs, cl.FromProject());
    if (problem.empty() && cl.Stitches() && !cl.output.empty())
        problem = image("the panorama", cl.output);
    if (problem.empty() && !cl.uncropped.empty())
        problem = image("the uncropped panorama", cl.uncropped);
    if (problem.empty() && !cl.cameras.empty())
        problem = check("the cameras file", cl.cameras, cl.inputs, false);
    if (problem.empty() && !cl.report.empty())
        problem = check("the report", cl.report, cl.inputs, false);
    if (problem.empty() && !cl.vrMovie.empty()) {
        std::vector<std::string> inputs = cl.inputs;
        if (cl.MovieFromImage())
            inputs.push_back(cl.fromImage);
        problem = check("the movie", cl.vrMovie, inputs, false);
    }
    return problem;
}

// The exit status for an engine operation that did not finish; 0 when it did.
int FailureStatus(const PanoramaEngine& engine, const char* what) {
    const EngineFailure failure = engine.LastFailure();
    if (Interrupted() || failure == EngineFailure::Aborted) {
        std::fputs("vedora-stitch: interrupted; nothing written\n", stderr);
        return kInterrupted;
    }
    if (failure == EngineFailure::None)
        return 0;
    if (failure == EngineFailure::NoOverlap)
        return kNoOverlap;
    return Fail(std::string(what) + ": " + engine.LastError() + "; nothing written");
}

// Matching, unless the project already holds matched pairs and was not asked to match again.
int Match(const CommandLine& cl, PanoramaEngine& engine) {
    if (cl.FromProject() && !cl.rematch && MatchedPairs(engine) > 0)
        return 0;
    engine.FindOverlappingImages();
    return FailureStatus(engine, "matching failed");
}

// Writes a crop of the engine's panorama band by band; an interrupt that arrives while it is
// written keeps the old file.
int WritePanorama(PanoramaEngine& engine, const RectD& crop, const std::string& path, const CommandLine& cl) {
    RowWriterOptions options;
    options.quality = cl.quality;
    options.bitsPerChannel = RowImageWriter::BitsPerChannelFor(path, cl.depth);
    if (engine.SavePanorama(path, crop, options, [] { return !Interrupted(); })) {
        for (const std::string& note : engine.SaveNotes())
            std::fprintf(stderr, "vedora-stitch: %s: %s\n", path.c_str(), note.c_str());
        return 0;
    }
    if (Interrupted() || engine.LastFailure() == EngineFailure::Aborted) {
        std::fputs("vedora-stitch: interrupted; nothing written\n", stderr);
        return kInterrupted;
    }
    return Fail(engine.LastError());
}

// The frame of the whole panorama: a crop rectangle that small takes all of it.
constexpr RectD kWholePanorama{0, 0, 0, 0};

// The final stitch, and what of it is written: the automatic crop or --crop into -o, the whole
// panorama into --uncropped.
int FinalStitch(const CommandLine& cl, PanoramaEngine& engine, RectD& crop, CamerasJsonExtras& extras) {
    if (!engine.StitchPanorama()) {
        const int status = FailureStatus(engine, "the stitch failed");
        return status ? status : Fail("the stitch failed; nothing written");
    }
    crop = cl.crop ? RectD{double(cl.crop->left), double(cl.crop->top), double(cl.crop->width), double(cl.crop->height)}
                   : engine.AutomaticCrop();
    // What is written, in uncropped panorama pixels: a frame of 10 pixels or less takes the
    // whole panorama, a closed panorama's crop is one turn wide.
    const stitch::CropFrame frame = engine.PanoramaFrame(crop);
    extras.crop = RectD{double(frame.x0), double(frame.y0), double(frame.width), double(frame.height)};
    extras.photometry = engine.GetPhotometricCorrectionType() != kPhotometricNone;
    extras.panoramaWidth = engine.PanoramaWidth();
    extras.panoramaHeight = engine.PanoramaHeight();
    if (!cl.uncropped.empty())
        if (int status = WritePanorama(engine, kWholePanorama, cl.uncropped, cl))
            return status;
    return 0;
}

// A panorama image as a QuickTime VR movie into --vr-movie.
int WriteMovieOf(const CommandLine& cl, const ImgRGB& panorama) {
    std::string why;
    if (!WriteVrMovie(panorama, cl.vr, cl.vrMovie, &why))
        return Fail(why);
    if (Interrupted()) {
        std::fputs("vedora-stitch: interrupted\n", stderr);
        return kInterrupted;
    }
    return 0;
}

// The movie of what was drawn, when one was asked for.
int WriteMovie(const CommandLine& cl, PanoramaEngine& engine, const RectD& crop) {
    if (cl.vrMovie.empty())
        return 0;
    const stitch::CropFrame frame = engine.PanoramaFrame(crop);
    const std::string tooLarge = MovieSizeProblem(frame.width, frame.height);
    if (!tooLarge.empty())
        return Fail("the movie: " + tooLarge + "; the movie is not written");
    ImgRGB panorama;
    if (!engine.PanoramaImage(crop, 0, panorama))
        return Fail("the movie's panorama: " + engine.LastError());
    return WriteMovieOf(cl, panorama);
}

// --from-image: a saved panorama turned into a movie, nothing stitched.
int MovieFromImage(const CommandLine& cl) {
    const std::string problem = OutputsProblem(cl);
    if (!problem.empty())
        return Fail(problem);
    ImgRGB panorama;
    if (!LoadImageFile(panorama, 0, cl.fromImage.c_str()))
        return Fail("cannot read image " + cl.fromImage + " (missing, a folder, or not an image)");
    return WriteMovieOf(cl, panorama);
}

// Outputs whose format cannot hold what the run will draw (a JPEG past 65,500 pixels a side),
// refused before the work from the panorama's geometry: the crop of a closed panorama or of a
// ragged one may turn out smaller, but hours of rendering should not end in a refusal.
int OutputSizeProblem(const CommandLine& cl, PanoramaEngine& engine) {
    constexpr int kLarge = 1 << 30;
    const bool limited =
        (!cl.output.empty() && !RowImageWriter::SizeProblem(cl.output, kLarge, kLarge).empty()) ||
        (!cl.uncropped.empty() && !RowImageWriter::SizeProblem(cl.uncropped, kLarge, kLarge).empty()) ||
        (!cl.vrMovie.empty() && cl.crop);
    if (!limited)
        return 0;
    if (!engine.InitStitchGeometry(cl.preview ? engine.GetPanoramaPreviewImageSize() : engine.GetPanoramaImageSize())) {
        const int status = FailureStatus(engine, "the camera fit failed");
        return status ? status : Fail("the camera fit failed; nothing written");
    }
    const int width = static_cast<int>(engine.PanoramaRect().width + 1.5);
    const int height = static_cast<int>(engine.PanoramaRect().height + 1.5);
    std::string problem = cl.uncropped.empty() ? "" : RowImageWriter::SizeProblem(cl.uncropped, width, height);
    if (problem.empty() && !cl.output.empty())
        problem = cl.crop ? RowImageWriter::SizeProblem(cl.output, cl.crop->width, cl.crop->height)
                          : RowImageWriter::SizeProblem(cl.output, width, height);
    // The movie holds the crop: an explicit one is judged now, the automatic one as soon as the
    // stitch has found it.
    if (problem.empty() && !cl.vrMovie.empty() && cl.crop)
        problem = MovieSizeProblem(cl.crop->width, cl.crop->height);
    return problem.empty() ? 0 : Fail(problem + "; nothing written");
}

// The preview or the final stitch into the output files.
int Draw(const CommandLine& cl, PanoramaEngine& engine) {
    if (!engine.MainTree()) {
        std::fputs("vedora-stitch: no images overlap; nothing drawn\n", stderr);
        return kNoOverlap;
    }
    // Photographs are drawn at their own resolution unless a size is asked for; a project
    // keeps the size it stores.
    if (cl.nativeSize || (!cl.size && !cl.FromProject())) {
        const int native = engine.NativeSize();
        if (native == 0) {
            const int status = FailureStatus(engine, "the camera fit failed");
            return status ? status : Fail("the camera fit failed; nothing written");
        }
        engine.SetPanoramaImageSize(native);
        engine.SetPanoramaPreviewImageSize(native);
    }
    if (int status = OutputSizeProblem(cl, engine))
        return status;
    RectD crop = kWholePanorama;
    CamerasJsonExtras extras;
    if (cl.preview) {
        if (!engine.PreviewStitch()) {
            const int status = FailureStatus(engine, "the preview failed");
            return status ? status : Fail("the preview failed; nothing written");
        }
        extras.panoramaWidth = engine.PanoramaWidth();
        extras.panoramaHeight = engine.PanoramaHeight();
    } else if (int status = FinalStitch(cl, engine, crop, extras)) {
        return status;
    }
    if (!cl.output.empty())
        if (int status = WritePanorama(engine, crop, cl.output, cl))
            return status;
    if (int status = WriteMovie(cl, engine, crop))
        return status;
    std::string why;
    if (!cl.cameras.empty() &&
        !SaveTextWhole(CamerasJson(engine, extras.panoramaWidth, extras.panoramaHeight, extras), cl.cameras, &why))
        return Fail(why);
    return 0;
}

// The folder of the first file the run writes, where the panorama's tile file goes: beside the
// output, on the disk that must hold it anyway. Empty (the temporary folder) without one.
std::string ScratchFolder(const CommandLine& cl) {
    for (const std::string* path : {&cl.output, &cl.uncropped, &cl.vrMovie}) {
        if (path->empty())
            continue;
        const size_t slash = path->find_last_of('/');
        return slash == std::string::npos ? "." : slash == 0 ? "/" : path->substr(0, slash);
    }
    return std::string();
}

// A batch must notice a photograph missing from its panorama: each is named on stderr, quiet
// or not, and the run ends with its own status.
int LeftOutStatus(const PanoramaEngine& engine) {
    const std::vector<int> leftOut = engine.PhotographsLeftOut();
    for (int image : leftOut)
        std::fprintf(stderr, "vedora-stitch: %s is left out of the panorama (it overlaps none of the others)\n",
                     engine.Image(image).path.c_str());
    return leftOut.empty() ? kMatched : kLeftOut;
}

// The run once its outputs are known to be writable.
int RunOn(CommandLine& cl, PanoramaEngine& engine) {
    Zelvo::XmlDocument document;
    ProjectStore store(engine, document);
    std::string message;
    if (!OpenProject(cl, store, &message))
        return Fail(message);
    ApplyStitchOptions(cl, engine, ScratchFolder(cl));
    engine.SetRefineCorrespondences(!cl.noRefine);
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
    int status = Match(cl, engine);
    if (status == 0 && !reference.empty() && engine.MainTree())
        engine.SetReferenceImagePath(reference.c_str());  // matching picks its own; the user's wins
    if (status == 0 && cl.Stitches())
        status = Draw(cl, engine);
    progress.Finish();
    if (status != 0 && status != kNoOverlap)
        return status;
    // The project is written before anything is printed, so a closed stdout cannot cost it.
    if (!cl.project.empty() && !store.Save(cl.project))
        return Fail(store.LastError());
    PrintResults(engine);
    // A results listing that did not arrive (a full disk behind stdout) is a failed write; a
    // reader that stopped reading (a closed pipe) only wanted less of it.
    if ((std::fflush(stdout) != 0 || std::ferror(stdout)) && errno != EPIPE)
        return Fail(std::string("cannot write the results to standard output (") + std::strerror(errno) + ")");
    if (status == kNoOverlap || MatchedPairs(engine) == 0)
        return kNoOverlap;
    return cl.Stitches() ? LeftOutStatus(engine) : kMatched;
}

// The run, and its report when one was asked for: written whatever the run came to, with the
// exit status it ends with.
int Run(CommandLine& cl) {
    const RunTimer whole;
    if (!cl.project.empty())
        cl.project = WithProjectSuffix(cl.project);
    const std::string outputProblem = OutputsProblem(cl);
    if (!outputProblem.empty())
        return Fail(outputProblem);
    PanoramaEngine engine;
    const int status = RunOn(cl, engine);
    if (cl.report.empty())
        return status;
    std::string why;
    if (!WriteReport(engine, cl.report, status, whole.Seconds(), &why)) {
        const int failed = Fail(why);
        return status == 0 || status == kLeftOut ? failed : status;
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    // The decoder's own warnings about damaged files would interleave with the progress; a
    // damaged photograph is reported by name instead.
    QLoggingCategory::setFilterRules("qt.gui.imageio.*=false");
    std::signal(SIGPIPE, SIG_IGN);
    // A write beyond the file size limit fails like one on a full disk, instead of ending the
    // process with a half-written temporary file left behind.
    std::signal(SIGXFSZ, SIG_IGN);

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
        std::printf("vedora-stitch %s\n", kVedoraVersion);
        return 0;
    }
    try {
        return cl.MovieFromImage() ? MovieFromImage(cl) : cl.Groups() ? RunGroups(cl) : Run(cl);
    } catch (const std::bad_alloc&) {
        return Fail("not enough memory; nothing written");
    } catch (const char* thrown) {
        return Fail(std::string(thrown) + "; nothing written");
    } catch (const std::exception& error) {
        return Fail(std::string(error.what()) + "; nothing written");
    } catch (...) {
        return Fail("an unknown error; nothing written");
    }
}
