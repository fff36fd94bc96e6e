// --groups: one folder mixing unrelated sets of photographs gives one panorama per set, named
// after its first photograph; the photographs of no set are named, nothing is overwritten that
// was not meant to be, and bad folders or options are refused before any work.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/ProjectStore.h"
#include "image/ImageFile.h"
#include "support/RenderedViews.h"
#include "support/RunProgram.h"
#include "support/SamePixels.h"
#include "support/TempFolder.h"
#include "xml/XmlDocument.h"

namespace {

// Two rows of two photographs looking far apart, and one looking away from both. Each
// photograph is 35 degrees wide: the rows (yaw 0 and 25, yaw 150 and 175) span -18..43 and
// 132..193 degrees, the lone one 252..288, so no two sets share anything. The sets'
// photographs are named alike (view0.jpg, view1.jpg), in folders of their own.
struct UnrelatedSets {
    RenderedViews first{{View(0, 0, 0, 500, 320, 240), View(25, 0, 0, 500, 320, 240)}};
    RenderedViews second{{View(150, 0, 0, 500, 320, 240), View(175, 0, 0, 500, 320, 240)}};
    RenderedViews lone{{View(270, 0, 0, 500, 320, 240)}};

    // The photographs interleaved, as a folder listing mixes them.
    std::vector<std::string> Mixed() const {
        return {first.Path(0), second.Path(0), lone.Path(0), first.Path(1), second.Path(1)};
    }
    std::vector<std::string> Sets() const { return {first.Path(0), second.Path(0), first.Path(1), second.Path(1)}; }
};

std::vector<std::string> Args(std::vector<std::string> options, const std::vector<std::string>& photographs) {
    options.insert(options.end(), photographs.begin(), photographs.end());
    return options;
}

int Count(const std::string& text, const std::string& part) {
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// The names of a folder's entries, sorted.
std::vector<std::string> NamesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

ImgRGB Loaded(const std::string& path) {
    ImgRGB image;
    EXPECT_TRUE(LoadImageFile(image, 0, path.c_str())) << path;
    return image;
}

const std::vector<std::string> kStitchOptions = {"--seed", "3", "--size", "400"};

// The panorama a run of the photographs alone draws, with the options the groups' runs take.
ImgRGB AloneRun(const std::vector<std::string>& photographs, const std::string& folder) {
    const std::string out = folder + "/alone.jpg";
    std::vector<std::string> options = {"-q", "-o", out};
    options.insert(options.end(), kStitchOptions.begin(), kStitchOptions.end());
    RunResult run = RunProgram(VEDORA_STITCH, Args(options, photographs), folder);
    EXPECT_EQ(run.status, 0) << run.err;
    ImgRGB image = Loaded(out);
    std::remove(out.c_str());
    return image;
}

std::vector<std::string> GroupsArgs(const std::string& folder, std::vector<std::string> more,
                                    const std::vector<std::string>& photographs) {
    std::vector<std::string> options = {"--groups", folder};
    options.insert(options.end(), kStitchOptions.begin(), kStitchOptions.end());
    options.insert(options.end(), more.begin(), more.end());
    return Args(options, photographs);
}

}  // namespace

TEST(GroupsCommand, TwoUnrelatedSetsGiveTwoPanoramasAndTheLonePhotographIsNamed) {
    UnrelatedSets sets;
    TempFolder work;
    const std::string out = work.Path("out");  // missing: it is made, its parent exists
    RunResult run = RunProgram(VEDORA_STITCH, GroupsArgs(out, {}, sets.Mixed()), work.Folder().string());
    EXPECT_EQ(run.status, 3) << run.err;
    EXPECT_NE(run.err.find(sets.lone.Path(0) + " is in no group"), std::string::npos) << run.err;
    for (const std::string& grouped : sets.Sets())
        EXPECT_EQ(run.err.find(grouped + " is in no group"), std::string::npos) << run.err;
    // Every photograph is matched once, and each group's stitch says which group it is.
    EXPECT_EQ(Count(run.err, "Finding overlapping images automatically"), 1) << run.err;
    EXPECT_NE(run.err.find("Group 1 of 2: 2 photographs (view0.jpg, view1.jpg)"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Group 2 of 2: 2 photographs (view0.jpg, view1.jpg)"), std::string::npos) << run.err;
    EXPECT_EQ(Count(run.err, "Stitching panorama"), 2) << run.err;

    // The second set's first photograph is named like the first's: its panorama gets -2. No
    // other file is left in the folder.
    EXPECT_EQ(NamesIn(out), (std::vector<std::string>{"view0-2.jpg", "view0.jpg"}));
    EXPECT_NE(run.out.find(out + "/view0.jpg\t" + sets.first.Path(0) + "\t" + sets.first.Path(1) + "\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find(out + "/view0-2.jpg\t" + sets.second.Path(0) + "\t" + sets.second.Path(1) + "\n"),
              std::string::npos)
        << run.out;

    // Each is the panorama its set alone gives.
    const ImgRGB first = Loaded(out + "/view0.jpg"), second = Loaded(out + "/view0-2.jpg");
    const ImgRGB firstAlone = AloneRun({sets.first.Path(0), sets.first.Path(1)}, work.Folder().string());
    const ImgRGB secondAlone = AloneRun({sets.second.Path(0), sets.second.Path(1)}, work.Folder().string());
    EXPECT_GT(first.width, 400 * 0.9);
    EXPECT_EQ(first.width, firstAlone.width);
    EXPECT_EQ(first.height, firstAlone.height);
    EXPECT_EQ(second.width, secondAlone.width);
    EXPECT_EQ(second.height, secondAlone.height);
    // The pairs are taken over as the matching fitted them, not rounded through a file: the
    // pixels are the same too.
    EXPECT_TRUE(SamePixels(first, firstAlone));
    EXPECT_TRUE(SamePixels(second, secondAlone));
}

TEST(GroupsCommand, ProjectsAreWrittenBesideThePanoramasAndLoad) {
    UnrelatedSets sets;
    TempFolder work;
    const std::string out = work.Path("out");
    std::filesystem::create_directory(out);
    RunResult run = RunProgram(VEDORA_STITCH, GroupsArgs(out, {"-q", "--projects", "--format", "png"}, sets.Sets()),
                               work.Folder().string());
    EXPECT_EQ(run.status, 0) << run.err;  // every photograph is in a panorama
    EXPECT_EQ(NamesIn(out), (std::vector<std::string>{"view0-2.png", "view0-2.vdp", "view0.png", "view0.vdp"}));
    EXPECT_EQ(ReadAll(out + "/view0.png").substr(1, 3), "PNG");
    EXPECT_GT(Loaded(out + "/view0-2.png").width, 400 * 0.9);

    const std::pair<std::string, const RenderedViews*> projects[] = {{out + "/view0.vdp", &sets.first},
                                                                     {out + "/view0-2.vdp", &sets.second}};
    for (const auto& [path, set] : projects) {
        PanoramaEngine engine;
        Zelvo::XmlDocument document;
        ProjectStore store(engine, document);
        ASSERT_TRUE(store.Load(path)) << store.LastError();
        ASSERT_EQ(engine.ImageCount(), 2) << path;
        EXPECT_EQ(std::string(engine.Image(0).path.c_str()), set->Path(0));
        EXPECT_EQ(std::string(engine.Image(1).path.c_str()), set->Path(1));
        const ImageCombination* pair = engine.Combination(0, 1);
        ASSERT_NE(pair, nullptr);
        EXPECT_TRUE(pair->matched) << path;
        EXPECT_GT(pair->P.size(), 20u) << path;
        EXPECT_NE(engine.MainTree(), nullptr) << path;
    }
}

TEST(GroupsCommand, AnExistingPanoramaIsReplacedOnlyWithOverwriteAndAPhotographNever) {
    UnrelatedSets sets;
    TempFolder work;
    const std::string out = work.Path("out");
    std::filesystem::create_directory(out);
    const std::string earlier = out + "/view0-2.jpg";
    std::ofstream(earlier) << "an earlier panorama";

    // Refused before any group is stitched: the other group's name is free, but nothing is
    // written.
    RunResult refused = RunProgram(VEDORA_STITCH, GroupsArgs(out, {"-q"}, sets.Mixed()), work.Folder().string());
    EXPECT_EQ(refused.status, 2) << refused.err;
    EXPECT_NE(refused.err.find(earlier + " exists; give --overwrite to replace it"), std::string::npos) << refused.err;
    EXPECT_EQ(ReadAll(earlier), "an earlier panorama");
    EXPECT_FALSE(std::filesystem::exists(out + "/view0.jpg"));

    RunResult replaced =
        RunProgram(VEDORA_STITCH, GroupsArgs(out, {"-q", "--overwrite"}, sets.Mixed()), work.Folder().string());
    EXPECT_EQ(replaced.status, 3) << replaced.err;
    // Quiet or not, the photograph in no group is named.
    EXPECT_NE(replaced.err.find(sets.lone.Path(0) + " is in no group"), std::string::npos) << replaced.err;
    EXPECT_GT(Loaded(earlier).width, 400 * 0.9);
    EXPECT_GT(Loaded(out + "/view0.jpg").width, 400 * 0.9);

    // Written into the first set's own folder, its panorama would take its first photograph's
    // name: refused, --overwrite or not, and the photograph stays.
    const std::string photograph = ReadAll(sets.first.Path(0));
    RunResult overInput = RunProgram(VEDORA_STITCH, GroupsArgs(sets.first.Folder(), {"-q", "--overwrite"}, sets.Sets()),
                                     work.Folder().string());
    EXPECT_EQ(overInput.status, 2) << overInput.err;
    EXPECT_NE(overInput.err.find(sets.first.Folder() + "/view0.jpg would overwrite the input " + sets.first.Path(0)),
              std::string::npos)
        << overInput.err;
    EXPECT_EQ(ReadAll(sets.first.Path(0)), photograph);
    EXPECT_FALSE(std::filesystem::exists(sets.first.Folder() + "/view0-2.jpg"));
}

TEST(GroupsCommand, AFolderThatCannotTakeThePanoramasIsRefusedBeforeAnyWork) {
    RenderedViews set({View(0, 0, 0, 500, 320, 240), View(25, 0, 0, 500, 320, 240)});
    TempFolder work;
    const std::string dir = work.Folder().string();
    auto groups = [&](const std::string& folder) {
        return RunProgram(VEDORA_STITCH, {"--groups", folder, set.Path(0), set.Path(1)}, dir);
    };
    const std::string plain = work.Path("plain");
    std::ofstream(plain) << "a file";
    RunResult notAFolder = groups(plain);
    EXPECT_EQ(notAFolder.status, 2);
    EXPECT_NE(notAFolder.err.find(plain + " is not a folder"), std::string::npos) << notAFolder.err;
    EXPECT_EQ(notAFolder.err.find("Finding overlapping"), std::string::npos) << notAFolder.err;
    EXPECT_EQ(ReadAll(plain), "a file");

    const std::string deep = work.Path("no/such");
    RunResult missing = groups(deep);
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("the folder " + deep + " does not exist"), std::string::npos) << missing.err;
    EXPECT_EQ(missing.err.find("Finding overlapping"), std::string::npos) << missing.err;
    EXPECT_FALSE(std::filesystem::exists(work.Path("no")));

    if (geteuid() != 0) {  // root writes anywhere
        const std::string locked = work.Path("locked");
        mkdir(locked.c_str(), 0555);
        RunResult denied = groups(locked);
        EXPECT_EQ(denied.status, 2);
        EXPECT_NE(denied.err.find("no permission to write in the folder " + locked), std::string::npos) << denied.err;
        RunResult inside = groups(locked + "/out");
        EXPECT_EQ(inside.status, 2);
        EXPECT_NE(inside.err.find("cannot make the folder " + locked + "/out"), std::string::npos) << inside.err;
        EXPECT_EQ(inside.err.find("Finding overlapping"), std::string::npos) << inside.err;
    }

    // A missing folder is made only when there is a panorama to put in it.
    RenderedViews apart({View(0, 0, 0, 500, 320, 240), View(180, 0, 0, 500, 320, 240)});
    const std::string never = work.Path("never");
    RunResult none = RunProgram(VEDORA_STITCH, {"-q", "--groups", never, apart.Path(0), apart.Path(1)}, dir);
    EXPECT_EQ(none.status, 1) << none.err;
    EXPECT_NE(none.err.find("no two photographs overlap"), std::string::npos) << none.err;
    EXPECT_FALSE(std::filesystem::exists(never));
}

TEST(GroupsCommand, OptionsThatMeanNothingForGroupsAreUsageErrors) {
    TempFolder work;
    const std::string dir = work.Folder().string();
    const std::string out = work.Path("out");
    struct Case {
        std::vector<std::string> args;
        std::string said;
    };
    const Case cases[] = {
        {{"--groups", out, "-o", "p.jpg", "a.jpg", "b.jpg"}, "leave out -o"},
        {{"--groups", out, "--uncropped", "u.jpg", "a.jpg", "b.jpg"}, "leave out --uncropped"},
        {{"--groups", out, "--project", "p.vdp", "a.jpg", "b.jpg"}, "leave out --project"},
        {{"--groups", out, "--cameras", "c.json", "a.jpg", "b.jpg"}, "leave out --cameras"},
        {{"--groups", out, "--vr-movie", "m.mov", "a.jpg", "b.jpg"}, "leave out --vr-movie"},
        {{"--groups", out, "--crop", "0,0,10,10", "a.jpg", "b.jpg"}, "leave out --crop"},
        {{"--groups", out, "--match-only", "a.jpg", "b.jpg"}, "leave out --match-only"},
        {{"--groups", out, "--report", "r.json", "a.jpg", "b.jpg"}, "leave out --report"},
        {{"--groups", out, "--tiles", "8", "a.jpg", "b.jpg"}, "not movies; leave out --tiles"},
        {{"--groups", out, "p.vdp"}, "not a project; leave out p.vdp"},
        {{"--groups", out, "--format", "gif", "a.jpg", "b.jpg"}, "--format takes jpg, png or tif, not 'gif'"},
        {{"--groups", out}, "no images given"},
        {{"--groups", "", "a.jpg", "b.jpg"}, "--groups takes a folder"},
        {{"-o", "p.jpg", "--projects", "a.jpg", "b.jpg"}, "go with --groups"},
        {{"-o", "p.jpg", "--overwrite", "a.jpg", "b.jpg"}, "go with --groups"},
        {{"-o", "p.jpg", "--format", "png", "a.jpg", "b.jpg"}, "go with --groups"},
    };
    for (const Case& c : cases) {
        RunResult run = RunProgram(VEDORA_STITCH, c.args, dir);
        EXPECT_EQ(run.status, 2) << c.said;
        // One line saying what is wrong, and where to read more.
        EXPECT_EQ(run.err.find("vedora-stitch: "), 0u) << run.err;
        EXPECT_NE(run.err.find(c.said), std::string::npos) << run.err;
        EXPECT_EQ(Count(run.err, "\n"), 2) << run.err;
        EXPECT_FALSE(std::filesystem::exists(out)) << c.said;
    }
    RunResult help = RunProgram(VEDORA_STITCH, {"--help"}, dir);
    for (const char* option : {"--groups OUTDIR", "--format jpg|png|tif", "--projects", "--overwrite"})
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
}

TEST(GroupsCommand, AnInterruptKeepsThePanoramasWrittenWholeAndLeavesNoPartOfTheNext) {
    RenderedViews small({View(0, 0, 0, 500, 320, 240), View(25, 0, 0, 500, 320, 240)});
    // The second group is large enough to be stitched still when the interrupt arrives.
    RenderedViews large(
        {View(150, 0, 0, 1000, 1000, 750), View(175, 0, 0, 1000, 1000, 750), View(200, 0, 0, 1000, 1000, 750)});
    TempFolder work;
    const std::string out = work.Path("out");
    const InterruptedRun run = RunAndInterrupt({VEDORA_STITCH, "--groups", out, "--seed", "3", small.Path(0),
                                                small.Path(1), large.Path(0), large.Path(1), large.Path(2)},
                                               "Group 2 of 2");
    ASSERT_TRUE(run.signalled) << run.err;
    const std::string& err = run.err;
    EXPECT_EQ(run.status, 130) << err;
    EXPECT_NE(err.find("interrupted; 1 of 2 panoramas written, each whole"), std::string::npos) << err;
    // The first group's panorama and nothing else: no part of the second, no hidden file.
    EXPECT_EQ(NamesIn(out), (std::vector<std::string>{"view0.jpg"}));
    EXPECT_GT(Loaded(out + "/view0.jpg").width, 300);
}
