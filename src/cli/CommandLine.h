#pragma once

#include <optional>
#include <string>
#include <vector>

// What the command line asked for.
struct CommandLine {
    bool matchOnly = false;
    bool quiet = false;
    bool help = false;
    bool version = false;
    std::string project;
    std::vector<std::string> inputs;
    std::optional<int> featureSize, featurePoints, seed;
    std::optional<double> spacing, radius, ransac;
    std::optional<std::string> reference;
};

// Parses argv; false with a one-line message for bad usage (unknown option, missing or
// out-of-range value).
bool ParseCommandLine(int argc, char** argv, CommandLine& out, std::string* message);

extern const char* const kUsage;
