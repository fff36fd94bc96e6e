#include "cli/GroupsRun.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/EngineRun.h"
#include "cli/GroupOutputs.h"
#include "engine/OverlapGroups.h"
#include "image/RowImageWriter.h"

namespace {

// The groups of the matched photographs, each a project of its own, and the photographs in
// none of them.
struct MatchedGroups {
    std::vector<PanoramaEngine> projects;
    std::vector<std::string> alone;
};

// The files one group writes.
struct GroupFiles {
    std::string panorama;
    std::string project;  // empty without --projects
};

// What the groups' stitches came to, for the exit status.
struct GroupsOutcome {
    int written = 0;
    bool failed = false;
    bool leftOut = false;
    bool interrupted = false;
};

// The frame of the whole panorama: a crop rectangle that small takes all of it.
constexpr RectD kWholeGroupPanorama{0, 0, 0, 0};

// The matching of every photograph at once: 0, or the exit status the run ends with.
int MatchAllPhotographs(PanoramaEngine& engine) {
    if (engine.FindOverlappingImages())
        return 0;
    if (Interrupted() || engine.LastFailure() == EngineFailure::Aborted) {
        std::fputs("vedora-stitch: interrupted; nothing written\n", stderr);
        return kInterrupted;
    }
    if (engine.LastFailure() == EngineFailure::NoOverlap) {
        std::fputs("vedora-stitch: no two photographs overlap; nothing drawn\n", stderr);
        return kNoOverlap;
    }
    return Fail("matching failed: " + engine.LastError() + "; nothing written");
}

std::string FileNameOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

MatchedGroups SplitIntoGroups(const PanoramaEngine& matched) {
    MatchedGroups split;
    const std::vector<std::vector<int>> groups = OverlapGroups(matched);
    for (const std::vector<int>& group : groups)
        split.projects.push_back(matched.GroupProject(group));
    for (int image : PhotographsInNoGroup(groups, matched.ImageCount()))
        split.alone.push_back(matched.Image(image).path.c_str());
    return split;
}

// "Group 2 of 3: 7 photographs (IMG_0012.jpg, IMG_0013.jpg, IMG_0014.jpg, …)"
std::string GroupHeading(const PanoramaEngine& group, size_t k, size_t count) {
    constexpr int kNamesShown = 3;
    std::string names;
    for (int i = 0; i < group.ImageCount() && i < kNamesShown; ++i)
        names += (i ? ", " : "") + FileNameOf(group.Image(i).path.c_str());
    if (group.ImageCount() > kNamesShown)
        names += ", …";
    return "Group " + std::to_string(k + 1) + " of " + std::to_string(count) + ": " +
           std::to_string(group.ImageCount()) + " photographs (" + names + ")\n";
}

std::vector<GroupFiles> NameGroupFiles(const CommandLine& cl, const std::vector<PanoramaEngine>& groups) {
    std::vector<std::string> firstPhotographs;
    for (const PanoramaEngine& group : groups)
        firstPhotographs.push_back(group.Image(0).path.c_str());
    std::vector<GroupFiles> files;
    for (const std::string& name : GroupFileNames(firstPhotographs))
        files.push_back({InFolder(cl.groups, name + cl.GroupSuffix()),
                         cl.groupProjects ? InFolder(cl.groups, name + ".vdp") : std::string()});
    return files;
}

// Every group's files checked before any stitching; each problem is said. False when there is one.
bool GroupFilesWritable(const CommandLine& cl, const std::vector<GroupFiles>& files) {
    bool writable = true;
    for (const GroupFiles& group : files)
        for (const std::string* path : {&group.panorama, &group.project}) {
            const std::string problem = path->empty() ? "" : GroupFileProblem(*path, cl.inputs, cl.overwrite);
            if (!problem.empty()) {
                Fail(problem);
                writable = false;
            }
        }
    return writable;
}

// A group's operation that did not finish: kInterrupted when Ctrl-C ended it (the run says so),
// else its reason on stderr and kError.
int GroupFailure(const PanoramaEngine& engine, const std::string& path, const char* what) {
    if (Interrupted() || engine.LastFailure() == EngineFailure::Aborted)
        return kInterrupted;
    return Fail(path + ": " + what + ": " + engine.LastError() + "; it is not written");
}

// The panorama's format refuses a size before the drawing, as the single panorama's run does:
// hours of rendering should not end in a refusal.
int GroupSizeProblem(const CommandLine& cl, PanoramaEngine& engine, const std::string& path) {
    constexpr int kLarge = 1 << 30;
    if (RowImageWriter::SizeProblem(path, kLarge, kLarge).empty())
        return 0;
    if (!engine.InitStitchGeometry(cl.preview ? engine.GetPanoramaPreviewImageSize() : engine.GetPanoramaImageSize()))
        return GroupFailure(engine, path, "the camera fit failed");
    const int width = static_cast<int>(engine.PanoramaRect().width + 1.5);
    const int height = static_cast<int>(engine.PanoramaRect().height + 1.5);
    const std::string problem = RowImageWriter::SizeProblem(path, width, height);
    return problem.empty() ? 0 : Fail(problem + "; it is not written");
}

// The group's panorama drawn (at its photographs' resolution unless a size was asked for) and
// written; an interrupt while it is written leaves no part of it.
int DrawGroup(const CommandLine& cl, PanoramaEngine& engine, const std::string& path) {
    if (cl.nativeSize || !cl.size) {
        const int native = engine.NativeSize();
        if (native == 0)
            return GroupFailure(engine, path, "the camera fit failed");
        engine.SetPanoramaImageSize(native);
        engine.SetPanoramaPreviewImageSize(native);
    }
    if (int status = GroupSizeProblem(cl, engine, path))
        return status;
    if (!(cl.preview ? engine.PreviewStitch() : engine.StitchPanorama()))
        return GroupFailure(engine, path, cl.preview ? "the preview failed" : "the stitch failed");
    RowWriterOptions options;
    options.quality = cl.quality;
    options.bitsPerChannel = RowImageWriter::BitsPerChannelFor(path, cl.depth);
    const RectD crop = cl.preview ? kWholeGroupPanorama : engine.AutomaticCrop();
    if (!engine.SavePanorama(path, crop, options, [] { return !Interrupted(); }))
        return GroupFailure(engine, path, "cannot write the panorama");
    for (const std::string& note : engine.SaveNotes())
        std::fprintf(stderr, "vedora-stitch: %s: %s\n", path.c_str(), note.c_str());
    return 0;
}

// Photographs of the group that its panorama leaves out after all (a hierarchy that closes a
// circle may), each named; kLeftOut when there are any.
int GroupLeftOut(const PanoramaEngine& engine, const std::string& path) {
    const std::vector<int> leftOut = engine.PhotographsLeftOut();
    for (int image : leftOut)
        std::fprintf(stderr, "vedora-stitch: %s is left out of the panorama %s\n", engine.Image(image).path.c_str(),
                     path.c_str());
    return leftOut.empty() ? 0 : kLeftOut;
}

// The written panorama and its photographs on stdout, tab-separated, for scripts.
void ListWritten(const PanoramaEngine& engine, const std::string& path) {
    std::printf("%s", path.c_str());
    for (const ImageRecord& image : engine.Images())
        std::printf("\t%s", image.path.c_str());
    std::printf("\n");
    std::fflush(stdout);
}

// One group from its project: 0, kLeftOut, kError or kInterrupted.
int StitchGroup(const CommandLine& cl, PanoramaEngine& engine, const GroupFiles& files, Progress& progress) {
    // The panorama's tile file goes beside it, on the disk that must hold it anyway.
    ApplyStitchOptions(cl, engine, cl.groups);
    InstallHooks(engine, progress);
    if (int status = DrawGroup(cl, engine, files.panorama))
        return status;
    Zelvo::XmlDocument document;
    ProjectStore store(engine, document);
    if (!files.project.empty() && !store.Save(files.project))
        return Fail(store.LastError());
    ListWritten(engine, files.panorama);
    return GroupLeftOut(engine, files.panorama);
}

// A batch must notice a photograph that went into no panorama: each is named on stderr, quiet
// or not. True when there are any.
bool SayAlone(const std::vector<std::string>& alone) {
    for (const std::string& path : alone)
        std::fprintf(stderr, "vedora-stitch: %s is in no group (it overlaps none of the other photographs)\n",
                     path.c_str());
    return !alone.empty();
}

GroupsOutcome StitchGroups(const CommandLine& cl, std::vector<PanoramaEngine>& groups,
                           const std::vector<GroupFiles>& files, Progress& progress) {
    GroupsOutcome outcome;
    for (size_t k = 0; k < groups.size() && !outcome.interrupted; ++k) {
        if (Interrupted()) {
            outcome.interrupted = true;
            break;
        }
        progress.LogText(GroupHeading(groups[k], k, groups.size()).c_str());
        const int status = StitchGroup(cl, groups[k], files[k], progress);
        // A stitched group's panorama (its tiles in memory) goes before the next is drawn.
        groups[k] = PanoramaEngine();
        outcome.interrupted = status == kInterrupted;
        outcome.failed = outcome.failed || status == kError;
        outcome.leftOut = outcome.leftOut || status == kLeftOut;
        outcome.written += status == 0 || status == kLeftOut ? 1 : 0;
    }
    return outcome;
}

int ExitStatus(const GroupsOutcome& outcome, size_t groupCount) {
    if (outcome.interrupted) {
        std::fprintf(stderr, "vedora-stitch: interrupted; %d of %zu panoramas written, each whole\n", outcome.written,
                     groupCount);
        return kInterrupted;
    }
    // A listing that did not arrive (a full disk behind stdout) is a failed write; a reader that
    // stopped reading (a closed pipe) only wanted less of it.
    if ((std::fflush(stdout) != 0 || std::ferror(stdout)) && errno != EPIPE)
        return Fail(std::string("cannot write the list of panoramas to standard output (") + std::strerror(errno) +
                    ")");
    if (outcome.failed) {
        std::fprintf(stderr, "vedora-stitch: %d of %zu panoramas written\n", outcome.written, groupCount);
        return kError;
    }
    return outcome.leftOut ? kLeftOut : kMatched;
}

// The matched photographs' groups named, their folder made and their files checked; then each
// group stitched.
int StitchAllGroups(const CommandLine& cl, PanoramaEngine& matched, Progress& progress) {
    MatchedGroups groups = SplitIntoGroups(matched);
    // The groups' projects hold all the stitches need; the matching's features go.
    matched.Reset();
    if (groups.projects.empty()) {
        std::fputs("vedora-stitch: no two photographs overlap; nothing drawn\n", stderr);
        return kNoOverlap;
    }
    bool made = false;
    std::string why;
    if (!MakeGroupFolder(cl.groups, &made, &why))
        return Fail(why + "; nothing written");
    if (made && !cl.quiet)
        std::fprintf(stderr, "vedora-stitch: made the folder %s\n", cl.groups.c_str());
    const std::vector<GroupFiles> files = NameGroupFiles(cl, groups.projects);
    if (!GroupFilesWritable(cl, files))
        return Fail("nothing stitched");
    GroupsOutcome outcome = StitchGroups(cl, groups.projects, files, progress);
    progress.Finish();
    outcome.leftOut = SayAlone(groups.alone) || outcome.leftOut;
    return ExitStatus(outcome, files.size());
}

}  // namespace

int RunGroups(const CommandLine& cl) {
    const std::string folderProblem = GroupFolderProblem(cl.groups);
    if (!folderProblem.empty())
        return Fail(folderProblem + "; nothing done");
    PanoramaEngine engine;
    Zelvo::XmlDocument document;
    ProjectStore store(engine, document);
    std::string message;
    if (!OpenProject(cl, store, &message))
        return Fail(message);
    ApplyOptions(cl, engine);
    engine.SetRefineCorrespondences(!cl.noRefine);
    std::string reference = cl.reference.value_or("");
    for (char& c : reference)
        if (c == '\\')
            c = '/';
    if (!reference.empty() && engine.FindImage(reference.c_str()) < 0)
        return Fail("--reference " + reference + " is not one of the images");

    Progress progress(stderr, cl.quiet, ::isatty(STDERR_FILENO) == 1);
    InstallHooks(engine, progress);
    if (int status = MatchAllPhotographs(engine)) {
        progress.Finish();
        return status;
    }
    // Matching picks a reference of its own; the user's wins in its group.
    if (!reference.empty())
        engine.SetReferenceImagePath(reference.c_str());
    return StitchAllGroups(cl, engine, progress);
}
