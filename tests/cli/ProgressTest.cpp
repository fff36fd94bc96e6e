#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "cli/Progress.h"

namespace {

std::string Written(std::FILE* f) {
    std::fflush(f);
    std::rewind(f);
    std::string text;
    char buffer[256];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        text.append(buffer, n);
    return text;
}

}  // namespace

TEST(Progress, TheBarFollowsTheNumbersWhateverLanguageTheTextIsIn) {
    std::FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    Progress terminal(f, false, true);
    terminal.LogText("Merkmale werden gesucht ");
    terminal.StepOf(3, 10);
    terminal.StatusText("Merkmale: Bild drei von zehn");  // no " of " to parse
    terminal.LogText(".");                                // ticks give way to the bar
    terminal.Finish();
    std::string out = Written(f);
    EXPECT_NE(out.find("[#########.....................] Merkmale: Bild drei von zehn"), std::string::npos) << out;
    EXPECT_EQ(out.find("zehn."), std::string::npos);
    std::fclose(f);

    // Off a terminal: the log's lines and ticks, never a bar; quiet: nothing at all.
    f = std::tmpfile();
    Progress plain(f, false, false);
    plain.LogText("Extracting features ");
    plain.StepOf(1, 2);
    plain.StatusText("Extracting features: Image 1 of 2");
    plain.LogText(".");
    plain.LogText(" done\n");
    plain.Finish();
    EXPECT_EQ(Written(f), "Extracting features . done\n");
    std::fclose(f);
    f = std::tmpfile();
    Progress quiet(f, true, true);
    quiet.LogText("x");
    quiet.StepOf(1, 1);
    quiet.StatusText("y");
    quiet.Finish();
    EXPECT_EQ(Written(f), "");
    std::fclose(f);
}
