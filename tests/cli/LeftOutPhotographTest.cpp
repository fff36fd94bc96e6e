// A photograph that overlaps none of the others is left out of the panorama; a batch must
// learn of it from the exit status and from stderr, also when the run is quiet.
#include <gtest/gtest.h>

#include <string>

#include "image/ImageFile.h"
#include "support/RenderedViews.h"
#include "support/RunProgram.h"

TEST(LeftOutPhotograph, IsNamedOnStderrAndEndsTheRunWithStatusThree) {
    // Two photographs of a row and one looking the other way.
    RenderedViews set({View(0, 0, 0, 500, 320, 240), View(25, 0, 0, 500, 320, 240), View(180, 0, 0, 500, 320, 240)});
    const std::string out = set.Folder() + "/pano.jpg";
    const std::string project = set.Folder() + "/p.vdp";
    RunResult run = RunProgram(
        VEDORA_STITCH,
        {"-q", "--seed", "3", "--size", "400", "--project", project, "-o", out, set.Path(0), set.Path(1), set.Path(2)},
        set.Folder());
    EXPECT_EQ(run.status, 3) << run.err;
    EXPECT_NE(run.err.find(set.Path(2) + " is left out of the panorama"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find(set.Path(0) + " is left out"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find(set.Path(1) + " is left out"), std::string::npos) << run.err;
    ImgRGB written;
    ASSERT_TRUE(LoadImageFile(written, 0, out.c_str()));  // the panorama of the two is written
    EXPECT_GT(written.width, 400 * 0.9);

    // Matching alone draws nothing and leaves nothing out; a project with every photograph in
    // its panorama ends with 0.
    RunResult matchOnly =
        RunProgram(VEDORA_STITCH, {"-q", "--match-only", "--project", project, "--rematch", project}, set.Folder());
    EXPECT_EQ(matchOnly.status, 0) << matchOnly.err;
    RunResult whole = RunProgram(
        VEDORA_STITCH, {"-q", "--seed", "3", "--size", "400", "-o", out, set.Path(0), set.Path(1)}, set.Folder());
    EXPECT_EQ(whole.status, 0) << whole.err;
    EXPECT_EQ(whole.err.find("left out"), std::string::npos) << whole.err;

    // --help says what 3 means.
    RunResult help = RunProgram(VEDORA_STITCH, {"--help"}, set.Folder());
    EXPECT_NE(help.out.find("3 written, but photographs were left out"), std::string::npos) << help.out;
}
