// The command line's panorama in tiles: the size a run draws by default, a memory budget that
// sends tiles to the file, and outputs too large for their format refused before the work.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <QDir>

#include <cstdlib>
#include <string>

#include "image/ImageFile.h"
#include "render/ImageCompare.h"
#include "support/RenderedViews.h"
#include "support/RunProgram.h"
#include "support/SamePixels.h"

namespace {

RunResult RunTiled(const std::vector<std::string>& args, const std::string& folder) {
    return RunProgram(VEDORA_STITCH, args, folder);
}

ImgRGB LoadWritten(const std::string& path) {
    ImgRGB image;
    EXPECT_TRUE(LoadImageFile(image, 0, path.c_str())) << path;
    return image;
}

// Hidden files in the folder: a leftover tile file or a half-written output.
int HiddenFilesIn(const std::string& folder) {
    int count = 0;
    for (const QString& name : QDir(QString::fromStdString(folder)).entryList(QDir::Files | QDir::Hidden))
        count += name.startsWith(".") ? 1 : 0;
    return count;
}

RenderedViews TwoPhotographs() { return RenderedViews({View(0, 0, 0, 500, 320, 240), View(25, 0, 0, 500, 320, 240)}); }

}  // namespace

TEST(TiledStitchCommand, PhotographsAreDrawnAtTheirOwnResolutionAndAProjectAtItsOwnSize) {
    RenderedViews set = TwoPhotographs();
    const std::string dir = set.Folder();
    RunResult byDefault = RunTiled(
        {"-q", "--seed", "3", "-o", dir + "/a.png", "--project", dir + "/p.vdp", set.Path(0), set.Path(1)}, dir);
    ASSERT_EQ(byDefault.status, 0) << byDefault.err;
    RunResult native =
        RunTiled({"-q", "--seed", "3", "-o", dir + "/b.png", "--size", "native", set.Path(0), set.Path(1)}, dir);
    ASSERT_EQ(native.status, 0) << native.err;
    const ImgRGB a = LoadWritten(dir + "/a.png"), b = LoadWritten(dir + "/b.png");
    EXPECT_TRUE(SamePixels(a, b));
    // Two 320-pixel photographs 25 degrees apart at f = 500: about 540 pixels wide, not 1024.
    EXPECT_GT(a.width, 450);
    EXPECT_LT(a.width, 700);

    // The project written with it stores the size it was drawn at. The run from it fits the
    // cameras again from the pairs the project keeps to six digits, which may move the crop's
    // edge by a pixel.
    RunResult again = RunTiled({"-q", "-o", dir + "/again.png", dir + "/p.vdp"}, dir);
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_NEAR(LoadWritten(dir + "/again.png").width, a.width, 1);

    // A new project holds the window's 1024, and a run from it keeps that.
    RunResult match =
        RunTiled({"-q", "--seed", "3", "--match-only", "--project", dir + "/m.vdp", set.Path(0), set.Path(1)}, dir);
    ASSERT_EQ(match.status, 0) << match.err;
    RunResult fromProject = RunTiled({"-q", "-o", dir + "/c.png", dir + "/m.vdp"}, dir);
    ASSERT_EQ(fromProject.status, 0) << fromProject.err;
    const ImgRGB c = LoadWritten(dir + "/c.png");
    EXPECT_GT(c.width, 1000);  // the crop of a panorama 1024 pixels wide
    EXPECT_LE(c.width, 1024);
}

TEST(TiledStitchCommand, ATinyMemoryBudgetSendsTilesToTheFileAndDrawsTheSamePanorama) {
    RenderedViews set = TwoPhotographs();
    const std::string dir = set.Folder();
    const std::vector<std::string> common = {"-q", "--seed", "3", "--size", "1500", "--projection", "cylindrical"};
    auto run = [&](const std::string& name, std::vector<std::string> extra) {
        std::vector<std::string> args = common;
        args.insert(args.end(), extra.begin(), extra.end());
        args.insert(args.end(), {"-o", dir + "/" + name + ".png", "--uncropped", dir + "/" + name + "-whole.tif",
                                 set.Path(0), set.Path(1)});
        return RunTiled(args, dir);
    };
    RunResult roomy = run("roomy", {});
    ASSERT_EQ(roomy.status, 0) << roomy.err;
    // One megabyte: half a megabyte of tiles for a panorama of about 5 MB at 16 bits.
    RunResult tight = run("tight", {"--memory", "1"});
    ASSERT_EQ(tight.status, 0) << tight.err;
    EXPECT_TRUE(SamePixels(LoadWritten(dir + "/roomy.png"), LoadWritten(dir + "/tight.png")));
    EXPECT_TRUE(SamePixels(LoadWritten(dir + "/roomy-whole.tif"), LoadWritten(dir + "/tight-whole.tif")));
    EXPECT_EQ(HiddenFilesIn(dir), 0);

    // No room for a single tile: said before anything is written; an old panorama stays.
    Zelvo::Chars("old").WriteFile((dir + "/none.png").c_str());
    RunResult none = run("none", {"--memory", "0"});
    EXPECT_EQ(none.status, 2);
    EXPECT_NE(none.err.find("below one tile"), std::string::npos) << none.err;
    EXPECT_EQ(ReadAll(dir + "/none.png"), "old");
    EXPECT_FALSE(QFile::exists(QString::fromStdString(dir + "/none-whole.tif")));
    EXPECT_EQ(HiddenFilesIn(dir), 0);
}

TEST(TiledStitchCommand, AnOutputTooLargeForItsFormatIsRefusedBeforeTheWork) {
    RenderedViews set = TwoPhotographs();
    const std::string dir = set.Folder();
    // 70,000 pixels wide: no JPEG holds it. The refusal comes from the geometry, before anything
    // is rendered.
    RunResult jpeg =
        RunTiled({"--seed", "3", "--size", "70000", "-o", dir + "/wide.jpg", set.Path(0), set.Path(1)}, dir);
    EXPECT_EQ(jpeg.status, 2);
    EXPECT_NE(jpeg.err.find("a JPEG is at most 65500 pixels"), std::string::npos) << jpeg.err;
    EXPECT_NE(jpeg.err.find("TIFF"), std::string::npos) << jpeg.err;
    EXPECT_EQ(jpeg.err.find("Rendering"), std::string::npos) << jpeg.err;
    EXPECT_FALSE(QFile::exists(QString::fromStdString(dir + "/wide.jpg")));
    // The same through --uncropped, while the cropped output would be a TIFF.
    RunResult whole = RunTiled({"-q", "--seed", "3", "--size", "70000", "-o", dir + "/wide.tif", "--uncropped",
                                dir + "/wide.jpg", set.Path(0), set.Path(1)},
                               dir);
    EXPECT_EQ(whole.status, 2);
    EXPECT_NE(whole.err.find("TIFF"), std::string::npos) << whole.err;
    EXPECT_FALSE(QFile::exists(QString::fromStdString(dir + "/wide.tif")));
    EXPECT_EQ(HiddenFilesIn(dir), 0);
}

// The disk fills while tiles go to the file (a file size limit stands in for it): the stitch
// fails with the cause, the old panorama stays and nothing is left behind.
TEST(TiledStitchCommand, AFullDiskUnderTheTileFileKeepsTheOldPanorama) {
    RenderedViews set = TwoPhotographs();
    const std::string dir = set.Folder();
    const std::string panorama = dir + "/pano.png";
    Zelvo::Chars("the old panorama").WriteFile(panorama.c_str());
    const std::string command = "ulimit -f 512; '" + std::string(VEDORA_STITCH) +
                                "' -q --seed 3 --size 1500 --memory 1 -o '" + panorama + "' '" + set.Path(0) + "' '" +
                                set.Path(1) + "' 2> '" + dir + "/err.txt'";
    const int raw = std::system(("bash -c \"" + command + "\"").c_str());
    ASSERT_TRUE(WIFEXITED(raw)) << "ended by a signal";
    EXPECT_EQ(WEXITSTATUS(raw), 2);
    const std::string err = ReadAll(dir + "/err.txt");
    EXPECT_NE(err.find("cannot write the panorama's tile file in " + dir), std::string::npos) << err;
    EXPECT_EQ(ReadAll(panorama), "the old panorama");
    EXPECT_EQ(HiddenFilesIn(dir), 0);
}

// Killed after the first photograph went into the tiles (most of them in the tile file): nothing can clean up after a
// SIGKILL, so the tile file is one that no name ever reached; the old panorama is untouched and the folder holds
// nothing new.
TEST(TiledStitchCommand, AKillDuringTheRenderLeavesTheOldPanoramaAndNothingElse) {
    RenderedViews set = TwoPhotographs();
    const std::string dir = set.Folder();
    const std::string panorama = dir + "/pano.png";
    Zelvo::Chars("the old panorama").WriteFile(panorama.c_str());
    const int before = HiddenFilesIn(dir);
    const InterruptedRun run = RunAndInterrupt(
        {VEDORA_STITCH, "--seed", "3", "--size", "3000", "--memory", "1", "-o", panorama, set.Path(0), set.Path(1)},
        "Rendering .", SIGKILL);
    ASSERT_TRUE(run.signalled) << run.err;
    EXPECT_EQ(run.status, -1);  // ended by the signal
    EXPECT_EQ(ReadAll(panorama), "the old panorama");
    EXPECT_EQ(HiddenFilesIn(dir), before);
}

// Past the native size the photographs have no more to give: the canvas is drawn at the native
// size and enlarged on the way out, so memory stays where the native panorama needs it. What is
// written has the size asked for, the geometry the cameras file gives, and reduced again it is
// the native panorama.
TEST(TiledStitchCommand, APanoramaLargerThanItsNativeSizeIsEnlargedFromIt) {
    RenderedViews set = TwoPhotographs();
    const std::string dir = set.Folder();
    RunResult native = RunTiled({"-q", "--seed", "3", "--projection", "cylindrical", "-o", dir + "/n.png",
                                 "--uncropped", dir + "/nu.png", set.Path(0), set.Path(1)},
                                dir);
    ASSERT_EQ(native.status, 0) << native.err;
    const ImgRGB small = LoadWritten(dir + "/nu.png");
    const int size = 3 * (std::max(small.width, small.height) - 1) + 1;
    RunResult large = RunTiled({"-q", "--seed", "3", "--projection", "cylindrical", "--size", std::to_string(size),
                                "-o", dir + "/e.png", "--uncropped", dir + "/eu.png", "--cameras", dir + "/e.json",
                                set.Path(0), set.Path(1)},
                               dir);
    ASSERT_EQ(large.status, 0) << large.err;
    const ImgRGB enlarged = LoadWritten(dir + "/eu.png");
    EXPECT_EQ(std::max(enlarged.width, enlarged.height), size);
    EXPECT_NEAR(enlarged.height, 3 * small.height, 3);
    const std::string json = ReadAll(dir + "/e.json");
    EXPECT_NE(json.find("\"width\": " + std::to_string(enlarged.width)), std::string::npos) << json;
    // Every third pixel of the enlargement samples the native canvas where it stands.
    ImgRGB every(small.width, small.height);
    for (int y = 0; y < small.height; ++y)
        for (int x = 0; x < small.width; ++x)
            every.At(x, y) = enlarged.At(std::min(3 * x, enlarged.width - 1), std::min(3 * y, enlarged.height - 1));
    EXPECT_GT(render::Psnr(every, small).decibels, 40);
    // The crop lies inside the covered panorama, as the native one does.
    const ImgRGB crop = LoadWritten(dir + "/e.png");
    EXPECT_GT(crop.width, 2 * LoadWritten(dir + "/n.png").width);
    int black = 0;
    for (int x = 0; x < crop.width; ++x)
        black += crop.At(x, 0).r + crop.At(x, 0).g + crop.At(x, 0).b == 0 ? 1 : 0;
    EXPECT_LT(black, crop.width / 100);
}
