#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/CommandLine.h"

namespace {

bool Parse(std::vector<std::string> args, CommandLine& cl, std::string& message) {
    std::vector<char*> argv;
    static char name[] = "vedora-stitch";
    argv.push_back(name);
    for (std::string& a : args)
        argv.push_back(a.data());
    cl = CommandLine();
    message.clear();
    return ParseCommandLine(static_cast<int>(argv.size()), argv.data(), cl, &message);
}

}  // namespace

TEST(CommandLine, OptionsRangesAndUsage) {
    CommandLine cl;
    std::string message;
    ASSERT_TRUE(Parse({"--match-only",
                       "--project",
                       "o.vdp",
                       "--feature-size",
                       "800",
                       "--spacing",
                       "0.5",
                       "--radius",
                       "4",
                       "--ransac",
                       "2.5",
                       "--feature-points",
                       "1500",
                       "--seed",
                       "7",
                       "-q",
                       "--reference",
                       "b.jpg",
                       "a.jpg",
                       "b.jpg"},
                      cl, message))
        << message;
    EXPECT_EQ(*cl.Parameter(kFeatureExtractionImageSize), 800);
    EXPECT_EQ(*cl.Parameter(kFeatureExtractionMaxNofPoints), 1500);
    EXPECT_DOUBLE_EQ(*cl.Parameter(kFeatureExtractionSpacing), 0.5);
    EXPECT_DOUBLE_EQ(*cl.Parameter(kFeatureMatchingRadius), 4);
    EXPECT_DOUBLE_EQ(*cl.Parameter(kFeatureMatchingRansacThreshold), 2.5);
    EXPECT_EQ(*cl.seed, 7);
    EXPECT_TRUE(cl.quiet);
    EXPECT_EQ(*cl.reference, "b.jpg");
    EXPECT_EQ(cl.inputs.size(), 2u);

    // Values outside the project's ranges are refused, not clamped.
    EXPECT_FALSE(Parse({"--match-only", "--project", "o.vdp", "--feature-size", "100", "a.jpg"}, cl, message));
    EXPECT_NE(message.find("200 to 2000"), std::string::npos);
    EXPECT_FALSE(Parse({"--match-only", "--project", "o.vdp", "--spacing", "5", "a.jpg"}, cl, message));
    EXPECT_FALSE(Parse({"--match-only", "--project", "o.vdp", "--ransac", "abc", "a.jpg"}, cl, message));
    EXPECT_FALSE(Parse({"--match-only", "--project", "o.vdp", "--radius", "nan", "a.jpg"}, cl, message));
    EXPECT_FALSE(Parse({"--match-only", "--project", "o.vdp", "--feature-points", "12x", "a.jpg"}, cl, message));
    EXPECT_FALSE(Parse({"--match-only", "--project"}, cl, message));
    EXPECT_NE(message.find("needs a value"), std::string::npos);
    EXPECT_FALSE(Parse({"--match-only", "a.jpg"}, cl, message));
    EXPECT_FALSE(Parse({"--match-only", "--project", "o.vdp"}, cl, message));
    EXPECT_FALSE(Parse({"--bogus"}, cl, message));
    EXPECT_NE(message.find("--bogus"), std::string::npos);
    EXPECT_FALSE(Parse({"--project", "o.vdp", "a.jpg"}, cl, message));  // stitching needs --match-only for now
    EXPECT_TRUE(Parse({"--help"}, cl, message));
    EXPECT_TRUE(cl.help);
    EXPECT_TRUE(Parse({"--version"}, cl, message));
}

TEST(CommandLine, MovieOptions) {
    CommandLine cl;
    std::string message;
    ASSERT_TRUE(Parse({"--vr-movie", "m.mov", "--from-image", "p.jpg", "--tiles", "6", "--vr-quality", "low",
                       "--vr-angle", "180", "--vr-window", "800x600"},
                      cl, message))
        << message;
    EXPECT_TRUE(cl.MovieFromImage());
    EXPECT_FALSE(cl.Stitches());
    EXPECT_EQ(cl.vr.tiles, 6);
    EXPECT_EQ(cl.vr.quality, VrQuality::Low);
    EXPECT_EQ(cl.vr.angle, 180);
    EXPECT_EQ(cl.vr.windowWidth, 800);
    EXPECT_EQ(cl.vr.windowHeight, 600);
    // The defaults are the movie dialog's.
    ASSERT_TRUE(Parse({"--vr-movie", "m.mov", "a.jpg", "b.jpg"}, cl, message)) << message;
    EXPECT_TRUE(cl.Stitches());
    EXPECT_EQ(cl.vr, VrMovieSettings());

    const std::vector<std::vector<std::string>> refused = {
        {"--vr-movie", "m.mov", "--tiles", "3", "a.jpg"},
        {"--vr-movie", "m.mov", "--vr-quality", "best", "a.jpg"},
        {"--vr-movie", "m.mov", "--vr-angle", "0", "a.jpg"},
        {"--vr-movie", "m.mov", "--vr-window", "640", "a.jpg"},
        {"--from-image", "p.jpg"},                                  // no movie named
        {"--vr-movie", "m.mov", "--from-image", "p.jpg", "a.jpg"},  // photographs too
        {"-o", "p.jpg", "--tiles", "8", "a.jpg"},                   // a movie option without a movie
        {"--match-only", "--project", "o.vdp", "--vr-movie", "m.mov", "a.jpg"},
    };
    for (const std::vector<std::string>& args : refused) {
        EXPECT_FALSE(Parse(args, cl, message)) << args[0] << " " << args[1] << " " << args[2];
        EXPECT_FALSE(message.empty());
    }
    EXPECT_NE(Usage().find("--vr-movie OUT.mov"), std::string::npos);
}

// The panorama's size reaches 262,144 pixels; the memory budget is a whole number of megabytes.
TEST(CommandLine, SizeAndMemory) {
    CommandLine cl;
    std::string message;
    ASSERT_TRUE(Parse({"-o", "p.tif", "--size", "262144", "--memory", "300", "a.jpg", "b.jpg"}, cl, message))
        << message;
    EXPECT_EQ(cl.size, 262144);
    EXPECT_EQ(cl.memoryMegabytes, 300);
    EXPECT_FALSE(cl.FromProject());
    EXPECT_FALSE(Parse({"-o", "p.tif", "--size", "262145", "a.jpg"}, cl, message));
    EXPECT_NE(message.find("128 to 262144"), std::string::npos) << message;
    EXPECT_FALSE(Parse({"-o", "p.tif", "--memory", "-1", "a.jpg"}, cl, message));
    EXPECT_FALSE(Parse({"-o", "p.tif", "--memory", "lots", "a.jpg"}, cl, message));
    ASSERT_TRUE(Parse({"-o", "p.tif", "in.vdp"}, cl, message)) << message;
    EXPECT_TRUE(cl.FromProject());
    EXPECT_FALSE(cl.size);
    EXPECT_NE(Usage().find("--memory MB"), std::string::npos);
}
