// End to end through the command-line stitcher, on photographs rendered with known cameras.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <sstream>
#include <thread>

#include "engine/ProjectStore.h"
#include "matching/PairRotationModel.h"
#include "support/RenderedViews.h"
#include "support/RunProgram.h"

namespace {

RunResult Stitch(const std::vector<std::string>& args, const std::string& folder) {
    return RunProgram(VEDORA_STITCH, args, folder);
}

double AngleBetween(const CMatrix& A, const render::Mat3& truth) {
    const double* t = truth.data();
    double trace = 0;
    for (int i = 0; i < 3; ++i)
        for (int k = 0; k < 3; ++k)
            trace += A(i, k) * t[i * 3 + k];  // trace of A T^T
    return std::acos(std::clamp((trace - 1) / 2, -1.0, 1.0)) * 180 / std::numbers::pi;
}

struct Outcome {
    RunResult run;
    PanoramaEngine engine;
    size_t hierarchyImages = 0;
    double worstAngle = 0;
    double worstFocal = 0;
    int matchedPairs = 0;
    struct PairAngle {
        int first, second;
        double degrees;
    };
    std::vector<PairAngle> angles;
};

// Matches a rendered set and checks every matched pair against the truth.
void MatchSet(const std::vector<render::ViewSpec>& views, Outcome& o, std::vector<std::string> options = {}) {
    RenderedViews set(views);
    // Matching at the photographs' full resolution: a pixel here is 0.05 to 0.06 degrees, and
    // the default working size would leave the finest pairs near the 0.1 degree mark.
    std::vector<std::string> args = {"--match-only", "--project",      set.Folder() + "/out.vdp",      "--seed",
                                     "17",           "--feature-size", std::to_string(views[0].height)};
    args.insert(args.end(), options.begin(), options.end());
    for (size_t i = 0; i < views.size(); ++i)
        args.push_back(set.Path(i));
    o.run = Stitch(args, set.Folder());
    Zelvo::XmlDocument doc;
    ProjectStore store(o.engine, doc);
    ASSERT_TRUE(store.Load(set.Folder() + "/out.vdp")) << store.LastError();
    if (o.engine.MainTree())
        o.hierarchyImages = o.engine.MainTree()->DistinctImages().size();
    for (const ImageCombination& pair : o.engine.Combinations()) {
        if (!pair.matched)
            continue;
        ++o.matchedPairs;
        render::Mat3 truth = render::RelativeRotation(views[pair.first], views[pair.second]);
        double angle = AngleBetween(RotationMatrix(pair.omega, pair.phi, pair.kappa), truth);
        o.angles.push_back({pair.first, pair.second, angle});
        o.worstAngle = std::max(o.worstAngle, angle);
        o.worstFocal = std::max(o.worstFocal, std::fabs(pair.f / views[0].focal - 1));
    }
    std::printf("%d pairs, worst rotation %.3f deg, worst focal %.2f %%\n", o.matchedPairs, o.worstAngle,
                100 * o.worstFocal);
}

}  // namespace

TEST(StitchCommand, RowOfFive) {
    std::vector<render::ViewSpec> views;
    for (int k = 0; k < 5; ++k)
        views.push_back(View(-60 + 35 * k, 5, 0, 1000, 1280, 960));
    Outcome o;
    MatchSet(views, o);
    EXPECT_EQ(o.run.status, 0) << o.run.err;
    EXPECT_EQ(o.hierarchyImages, 5u);
    EXPECT_GE(o.matchedPairs, 4);
    EXPECT_LT(o.worstAngle, 0.1);
    EXPECT_LT(o.worstFocal, 0.01);
    EXPECT_NE(o.run.out.find("Reference image 0"), std::string::npos);
    EXPECT_NE(o.run.out.find("  1-0: "), std::string::npos);
    EXPECT_NE(o.run.out.find("0-1: "), std::string::npos);
    EXPECT_NE(o.run.out.find(" px, f "), std::string::npos);
    EXPECT_NE(o.run.err.find("Extracting features ..... done"), std::string::npos);  // plain lines off a terminal
}

TEST(StitchCommand, RingOfTwelveClosesTheCircle) {
    std::vector<render::ViewSpec> views;
    for (int k = 0; k < 12; ++k)
        views.push_back(View(30 * k, 0, 0, 1200, 1280, 960));
    Outcome o;
    MatchSet(views, o);
    EXPECT_EQ(o.run.status, 0) << o.run.err;
    EXPECT_EQ(o.hierarchyImages, 12u);
    EXPECT_NE(o.engine.TransitionTree(), nullptr);
    EXPECT_NE(o.run.out.find("(360 degrees transitions)"), std::string::npos);
    EXPECT_LT(o.worstAngle, 0.1);
    EXPECT_LT(o.worstFocal, 0.01);
}

TEST(StitchCommand, GridOfTwoRows) {
    std::vector<render::ViewSpec> views;
    for (int row = 0; row < 2; ++row)
        for (int k = 0; k < 4; ++k)
            views.push_back(View(35 * k, row == 0 ? 15 : -15, 0, 1000, 1280, 960));
    Outcome o;
    MatchSet(views, o, {"--feature-points", "2000"});
    EXPECT_EQ(o.run.status, 0) << o.run.err;
    EXPECT_EQ(o.hierarchyImages, 8u);
    EXPECT_LT(o.worstFocal, 0.01);
    // Pairs that share a whole edge meet the 0.1 degree mark. Diagonal neighbours overlap in a
    // corner only, where a slightly different focal length and rotation fit the points just as
    // well; they stay within a quarter of a degree.
    int edgePairs = 0;
    for (const auto& a : o.angles) {
        bool sameRow = a.first / 4 == a.second / 4, sameColumn = a.first % 4 == a.second % 4;
        if (sameRow || sameColumn) {
            ++edgePairs;
            EXPECT_LT(a.degrees, 0.1) << a.first << "-" << a.second;
        } else {
            EXPECT_LT(a.degrees, 0.25) << a.first << "-" << a.second;
        }
    }
    EXPECT_GE(edgePairs, 10);
}

TEST(StitchCommand, PairWithLittleOverlap) {
    Outcome o;
    // A narrow strip fixes the focal length only through its perspective, so this set works
    // at full resolution with more points, as a user after accuracy would ask.
    MatchSet({View(0, 0, 0, 1250, 1600, 1200), View(55, 0, 0, 1250, 1600, 1200)}, o, {"--feature-points", "2000"});
    EXPECT_EQ(o.run.status, 0) << o.run.err;
    EXPECT_EQ(o.hierarchyImages, 2u);
    EXPECT_LT(o.worstAngle, 0.1);
    EXPECT_LT(o.worstFocal, 0.01);
}

TEST(StitchCommand, ExitStatusesAndMessages) {
    RenderedViews set({View(0, 0, 0, 500, 640, 480), View(180, 0, 0, 500, 640, 480)});
    const std::string dir = set.Folder();
    // No overlap: exit 1, and the project is still written with the paths as given.
    RunResult apart = Stitch({"--match-only", "--project", dir + "/apart.vdp", set.Path(0), set.Path(1)}, dir);
    EXPECT_EQ(apart.status, 1) << apart.err;
    EXPECT_TRUE(QFile::exists(QString::fromStdString(dir + "/apart.vdp")));
    EXPECT_NE(ReadAll(dir + "/apart.vdp").find("path=\"" + set.Path(0) + "\""), std::string::npos);

    RunResult folder = Stitch({"--match-only", "--project", dir + "/x.vdp", set.Path(0), dir}, dir);
    EXPECT_EQ(folder.status, 2);
    EXPECT_NE(folder.err.find(dir), std::string::npos);
    Zelvo::Chars("not an image").WriteFile((dir + "/fake.jpg").c_str());
    RunResult fake = Stitch({"--match-only", "--project", dir + "/x.vdp", set.Path(0), dir + "/fake.jpg"}, dir);
    EXPECT_EQ(fake.status, 2);
    EXPECT_NE(fake.err.find("fake.jpg"), std::string::npos);
    RunResult range = Stitch({"--match-only", "--project", dir + "/x.vdp", "--ransac", "50", set.Path(0)}, dir);
    EXPECT_EQ(range.status, 2);
    EXPECT_NE(range.err.find("--ransac"), std::string::npos);
    RunResult reference = Stitch(
        {"--match-only", "--project", dir + "/x.vdp", "--reference", "nothere.jpg", set.Path(0), set.Path(1)}, dir);
    EXPECT_EQ(reference.status, 2);
    EXPECT_NE(reference.err.find("nothere.jpg"), std::string::npos);
    RunResult broken = Stitch({"--match-only", "--project", dir + "/x.vdp", dir + "/fake.vdp"}, dir);
    EXPECT_EQ(broken.status, 2);
    EXPECT_NE(broken.err.find("fake.vdp"), std::string::npos);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(dir + "/x.vdp")));

    // Re-matching a saved project keeps its images and parameters.
    RunResult again =
        Stitch({"--match-only", "--project", dir + "/again.vdp", "--feature-size", "300", dir + "/apart.vdp"}, dir);
    EXPECT_EQ(again.status, 1) << again.err;
    EXPECT_NE(ReadAll(dir + "/again.vdp").find("featureExtractionImageSize=\"300\""), std::string::npos);
    RunResult help = Stitch({"--help"}, dir);
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("usage: vedora-stitch"), std::string::npos);
}

TEST(StitchCommand, InterruptWritesNothing) {
    std::vector<render::ViewSpec> views;
    for (int k = 0; k < 12; ++k)
        views.push_back(View(30 * k, 0, 0, 500, 640, 480));
    RenderedViews set(views);
    const std::string project = set.Folder() + "/never.vdp";
    std::vector<std::string> args = {VEDORA_STITCH, "--match-only", "--project", project};
    for (size_t i = 0; i < views.size(); ++i)
        args.push_back(set.Path(i));
    // The interrupt goes in once the run has started its work: the extraction's heading is
    // the signal that it is under way.
    const InterruptedRun run = RunAndInterrupt(args, "Extracting features");
    ASSERT_TRUE(run.signalled) << run.err;
    const std::string& err = run.err;
    EXPECT_EQ(run.status, 130) << err;
    EXPECT_NE(err.find("interrupted; nothing written"), std::string::npos);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(project)));
}

TEST(StitchCommand, ATruncatedPhotographIsAnErrorNamingTheFile) {
    RenderedViews set({View(0, 0, 0, 500, 640, 480), View(25, 0, 0, 500, 640, 480)});
    const std::string dir = set.Folder();
    const std::string whole = ReadAll(set.Path(1));
    const std::string cut = dir + "/cut-short.jpg";
    std::ofstream(cut, std::ios::binary) << whole.substr(0, whole.size() / 2);
    // An earlier project at the output path stays as it was.
    Zelvo::Chars("earlier").WriteFile((dir + "/p.vdp").c_str());
    RunResult run = Stitch({"--match-only", "--project", dir + "/p.vdp", set.Path(0), cut}, dir);
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_NE(run.err.find("cut-short.jpg"), std::string::npos) << run.err;
    EXPECT_EQ(ReadAll(dir + "/p.vdp"), "earlier");
}

TEST(StitchCommand, OutputsAreCheckedBeforeAnyWork) {
    RenderedViews set({View(0, 0, 0, 500, 320, 240), View(20, 0, 0, 500, 320, 240)});
    const std::string dir = set.Folder();
    const std::string a = set.Path(0), b = set.Path(1);
    const std::string photo = ReadAll(a);
    // A project name without the suffix gets it: the photograph named as the project stays.
    RunResult suffix = Stitch({"--match-only", "-q", "--project", a, a, b}, dir);
    EXPECT_EQ(suffix.status, 0) << suffix.err;
    EXPECT_EQ(ReadAll(a), photo);
    EXPECT_TRUE(QFile::exists(QString::fromStdString(a + ".vdp")));
    // A link to a photograph under a project's name is refused before anything is read.
    const std::string link = dir + "/link.vdp";
    ASSERT_EQ(symlink(a.c_str(), link.c_str()), 0);
    RunResult linked = Stitch({"--match-only", "--project", link, a, b}, dir);
    EXPECT_EQ(linked.status, 2);
    EXPECT_NE(linked.err.find("would overwrite the input"), std::string::npos) << linked.err;
    EXPECT_EQ(linked.err.find("Extracting"), std::string::npos);
    EXPECT_EQ(ReadAll(a), photo);
    // Folders that are missing or cannot be written are found before the matching.
    RunResult missing = Stitch({"--match-only", "--project", dir + "/no/such/p.vdp", a, b}, dir);
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("does not exist"), std::string::npos) << missing.err;
    EXPECT_EQ(missing.err.find("Extracting"), std::string::npos);
    if (geteuid() != 0) {  // root writes anywhere
        const std::string locked = dir + "/locked";
        mkdir(locked.c_str(), 0555);
        RunResult denied = Stitch({"--match-only", "--project", locked + "/p.vdp", a, b}, dir);
        EXPECT_EQ(denied.status, 2);
        EXPECT_NE(denied.err.find("no permission"), std::string::npos) << denied.err;
    }
    // A project may be re-matched into itself.
    RunResult again = Stitch({"--match-only", "-q", "--project", a + ".vdp", a + ".vdp"}, dir);
    EXPECT_EQ(again.status, 0) << again.err;
    // One photograph under two names (here a link) is one image.
    const std::string alias = dir + "/alias.jpg";
    ASSERT_EQ(symlink(a.c_str(), alias.c_str()), 0);
    RunResult twice = Stitch({"--match-only", "-q", "--project", dir + "/twice.vdp", a, alias, b}, dir);
    EXPECT_EQ(twice.status, 0) << twice.err;
    EXPECT_NE(twice.err.find("is the same photograph as"), std::string::npos) << twice.err;
    EXPECT_EQ(twice.out.find("0-2"), std::string::npos);  // only two images were matched
}

TEST(StitchCommand, AReaderThatGoesAwayCostsNothingButTheOutput) {
    RenderedViews set({View(0, 0, 0, 500, 320, 240), View(20, 0, 0, 500, 320, 240)});
    const std::string dir = set.Folder();
    const std::string project = dir + "/piped.vdp";
    std::string command = "set -o pipefail; '" + std::string(VEDORA_STITCH) + "' --match-only -q --project '" +
                          project + "' '" + set.Path(0) + "' '" + set.Path(1) + "' | true";
    int raw = std::system(("bash -c \"" + command + "\"").c_str());
    ASSERT_TRUE(WIFEXITED(raw));
    EXPECT_EQ(WEXITSTATUS(raw), 0);
    PanoramaEngine engine;
    Zelvo::XmlDocument doc;
    ProjectStore store(engine, doc);
    ASSERT_TRUE(store.Load(project)) << store.LastError();
    EXPECT_TRUE(engine.Combination(0, 1)->matched);
}

TEST(StitchCommand, APhotographTooLargeToDecodeIsAnErrorAndTheOldProjectStays) {
    RenderedViews set({View(0, 0, 0, 500, 320, 240), View(20, 0, 0, 500, 320, 240)});
    const std::string dir = set.Folder();
    // A PNG whose header promises 60000 x 60000 pixels, with no data behind it.
    const unsigned char header[] = {0x89, 'P',  'N', 'G', '\r', '\n', 0x1a, '\n', 0,    0,    0,
                                    13,   'I',  'H', 'D', 'R',  0,    0,    0xEA, 0x60, 0,    0,
                                    0xEA, 0x60, 8,   2,   0,    0,    0,    0x5C, 0x84, 0x4F, 0x2D};
    const std::string huge = dir + "/huge.png";
    std::ofstream(huge, std::ios::binary).write(reinterpret_cast<const char*>(header), sizeof header);
    RunResult first = Stitch({"--match-only", "-q", "--project", dir + "/p.vdp", set.Path(0), set.Path(1)}, dir);
    ASSERT_EQ(first.status, 0) << first.err;
    const std::string before = ReadAll(dir + "/p.vdp");
    RunResult run = Stitch({"--match-only", "-q", "--project", dir + "/p.vdp", set.Path(0), set.Path(1), huge}, dir);
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_NE(run.err.find("huge.png"), std::string::npos) << run.err;
    EXPECT_EQ(ReadAll(dir + "/p.vdp"), before);
}

TEST(StitchCommand, NamesThatAreNotUtf8AreMatchedAndAFailedSaveSaysWhy) {
    RenderedViews set({View(0, 0, 0, 500, 320, 240), View(20, 0, 0, 500, 320, 240)});
    const std::string dir = set.Folder();
    // Latin-1 names, as an old camera card or archive leaves them: not valid UTF-8.
    const std::string first = dir + "/caf\xe9-1.jpg", second = dir + "/caf\xe9-2.jpg";
    ASSERT_EQ(rename(set.Path(0).c_str(), first.c_str()), 0);
    ASSERT_EQ(rename(set.Path(1).c_str(), second.c_str()), 0);
    RunResult run = Stitch({"--match-only", "-q", "--project", dir + "/p.vdp", first, second}, dir);
    EXPECT_EQ(run.status, 0) << run.err;
    PanoramaEngine engine;
    Zelvo::XmlDocument doc;
    ProjectStore store(engine, doc);
    ASSERT_TRUE(store.Load(dir + "/p.vdp")) << store.LastError();
    EXPECT_TRUE(engine.Combination(0, 1)->matched);
    EXPECT_EQ(std::string(engine.Image(0).path.c_str()), first);
    // A project saved over a folder says what is in the way.
    mkdir((dir + "/taken.vdp").c_str(), 0755);
    EXPECT_FALSE(store.Save(dir + "/taken.vdp"));
    EXPECT_NE(store.LastError().find("it is a folder"), std::string::npos) << store.LastError();
}

TEST(StitchCommand, SmallPhotographsAreMatchedAtTheirOwnSize) {
    // Six small portrait photographs: enlarged four times to the working size they matched
    // nothing; at their own size every neighbour pair matches.
    std::vector<render::ViewSpec> views;
    for (int k = 0; k < 6; ++k)
        views.push_back(View(25 * k, 0, 0, 170, 150, 225));
    RenderedViews set(views);
    std::vector<std::string> args = {"--match-only", "-q", "--project", set.Folder() + "/small.vdp", "--seed", "3"};
    for (size_t i = 0; i < views.size(); ++i)
        args.push_back(set.Path(i));
    RunResult run = Stitch(args, set.Folder());
    EXPECT_EQ(run.status, 0) << run.err;
    for (int k = 0; k + 1 < 6; ++k)
        EXPECT_NE(run.out.find(std::to_string(k) + "-" + std::to_string(k + 1) + ": "), std::string::npos) << k << "\n"
                                                                                                           << run.out;
    // A working size above the photographs' own is the same as their own.
    RunResult large = Stitch({"--match-only", "-q", "--project", set.Folder() + "/large.vdp", "--seed", "3",
                              "--feature-size", "2000", set.Path(0), set.Path(1)},
                             set.Folder());
    EXPECT_EQ(large.status, 0) << large.err;
}

// A write that fails part-way (here beyond a file size limit of 16 kB, as on a full disk) is a
// message and exit 2: no partial panorama, no temporary file, the old panorama untouched.
TEST(StitchCommand, AWriteThatFailsPartWayLeavesTheOldPanorama) {
    RenderedViews set({View(0, 0, 0, 500, 320, 240), View(20, 0, 0, 500, 320, 240)});
    const std::string dir = set.Folder();
    const std::string panorama = dir + "/pano.jpg";
    {
        std::ofstream old(panorama);
        old << "the old panorama";
    }
    const std::string command = "ulimit -f 16; '" + std::string(VEDORA_STITCH) + "' -q --seed 17 -o '" + panorama +
                                "' '" + set.Path(0) + "' '" + set.Path(1) + "' 2> '" + dir + "/err.txt'";
    int raw = std::system(("bash -c \"" + command + "\"").c_str());
    ASSERT_TRUE(WIFEXITED(raw)) << "ended by a signal";
    EXPECT_EQ(WEXITSTATUS(raw), 2);
    EXPECT_NE(ReadAll(dir + "/err.txt").find("cannot write " + panorama + " (File too large)"), std::string::npos)
        << ReadAll(dir + "/err.txt");
    EXPECT_EQ(ReadAll(panorama), "the old panorama");
    const QStringList left = QDir(QString::fromStdString(dir)).entryList(QDir::Files | QDir::Hidden);
    for (const QString& name : left)
        EXPECT_FALSE(name.startsWith(".")) << name.toStdString();
}
