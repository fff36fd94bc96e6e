// Every file a run writes is checked before the work against its inputs and against its other
// outputs, whatever the suffixes: one file for two outputs would keep only the last.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <QFile>

#include <cstdlib>

#include <string>

#include "support/RenderedViews.h"
#include "support/RunProgram.h"

TEST(OutputChecks, TwoOutputsInOneFileOrAPhotographNamedLikeAProjectAreRefusedBeforeTheWork) {
    RenderedViews set({View(0, 0, 0, 500, 320, 240), View(25, 0, 0, 500, 320, 240)});
    const std::string folder = set.Folder();
    const std::string pano = folder + "/s.jpg";
    struct Case {
        std::vector<std::string> args;
        std::string said;
    };
    const Case cases[] = {
        {{"-o", pano, "--cameras", pano}, "the cameras file " + pano + " is the same file as the panorama " + pano},
        {{"-o", pano, "--uncropped", folder + "/./s.jpg"}, "is the same file as the panorama"},
        {{"-o", pano, "--vr-movie", pano}, "the movie " + pano + " is the same file as the panorama"},
        {{"-o", pano, "--project", folder + "/s", "--cameras", folder + "/s.vdp"},
         "the cameras file " + folder + "/s.vdp is the same file as the project " + folder + "/s.vdp"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"-q"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        args.push_back(set.Path(0));
        args.push_back(set.Path(1));
        RunResult run = RunProgram(VEDORA_STITCH, args, folder);
        EXPECT_EQ(run.status, 2) << run.err;
        EXPECT_NE(run.err.find(c.said), std::string::npos) << run.err;
        EXPECT_FALSE(QFile::exists(QString::fromStdString(pano))) << c.said;
    }

    // A photograph whose name ends in .vdp is a photograph: --project never writes over it.
    const std::string named = folder + "/holiday.vdp";
    ASSERT_TRUE(QFile::copy(QString::fromStdString(set.Path(1)), QString::fromStdString(named)));
    const QByteArray photograph = [&] {
        QFile f(QString::fromStdString(named));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    RunResult run = RunProgram(VEDORA_STITCH, {"-q", "--match-only", "--project", named, set.Path(0), named}, folder);
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_NE(run.err.find("would overwrite the input " + named), std::string::npos) << run.err;
    QFile after(QString::fromStdString(named));
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), photograph);
}

// The listing of the hierarchy and the pairs is output too: a full disk behind stdout fails
// the run instead of passing for success.
TEST(OutputChecks, AListingThatCannotBeWrittenFailsTheRun) {
    RenderedViews set({View(0, 0, 0, 500, 320, 240), View(25, 0, 0, 500, 320, 240)});
    const std::string command = std::string(VEDORA_STITCH) + " -q --match-only --project '" + set.Folder() +
                                "/p.vdp' '" + set.Path(0) + "' '" + set.Path(1) + "' >/dev/full 2>'" + set.Folder() +
                                "/err.txt'";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 2);
    EXPECT_NE(ReadAll(set.Folder() + "/err.txt").find("cannot write the results to standard output"),
              std::string::npos);
    EXPECT_TRUE(QFile::exists(QString::fromStdString(set.Folder() + "/p.vdp")));  // the project was written first
}

// A movie larger than the movie reader opens is refused before the stitch when the crop is
// given, and nothing is written.
TEST(OutputChecks, AMovieTooLargeToOpenIsRefusedBeforeTheWork) {
    RenderedViews set({View(0, 0, 0, 500, 320, 240), View(25, 0, 0, 500, 320, 240)});
    const std::string movie = set.Folder() + "/m.mov";
    RunResult run = RunProgram(
        VEDORA_STITCH,
        {"-q", "--size", "60000", "--crop", "0,0,30000,30000", "--vr-movie", movie, set.Path(0), set.Path(1)},
        set.Folder());
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_NE(run.err.find("is larger than a movie holds"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("Rendering"), std::string::npos) << run.err;
    EXPECT_FALSE(QFile::exists(QString::fromStdString(movie)));
}
