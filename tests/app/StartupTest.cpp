#include <gtest/gtest.h>

#include <string>

#include "app/StartupArguments.h"

namespace {

StartupRequest Read(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    return ReadStartupRequest(static_cast<int>(argv.size()), argv.data());
}

}  // namespace

TEST(Startup, TheFirstArgumentIsTheProjectWithForwardSlashes) {
    EXPECT_EQ(StartupProjectPath({"vedora", "C:\\data\\p.vdp"}), "C:/data/p.vdp");
    EXPECT_EQ(StartupProjectPath({"vedora", "/home/u/Bäume.vdp", "ignored"}), "/home/u/Bäume.vdp");
    EXPECT_TRUE(StartupProjectPath({"vedora"}).IsEmpty());
    EXPECT_TRUE(StartupProjectPath({}).IsEmpty());
}

TEST(Startup, VersionAndHelpAreAnsweredWithoutAWindow) {
    EXPECT_EQ(Read({"vedora"}).action, StartupRequest::Run);
    EXPECT_EQ(Read({"vedora", "p.vdp"}).action, StartupRequest::Run);
    EXPECT_EQ(Read({"vedora", "--version"}).action, StartupRequest::PrintVersion);
    EXPECT_EQ(Read({"vedora", "--help"}).action, StartupRequest::PrintHelp);
    EXPECT_EQ(Read({"vedora", "-h"}).action, StartupRequest::PrintHelp);
    StartupRequest bad = Read({"vedora", "--frobnicate"});
    EXPECT_EQ(bad.action, StartupRequest::BadOption);
    EXPECT_EQ(bad.option, "--frobnicate");
    EXPECT_NE(VersionText().find("1.02"), std::string::npos);
    EXPECT_NE(HelpText().find("vedora [PROJECT.vdp]"), std::string::npos);
}
