#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "project/ProjectParameters.h"

// What the command line asked for.
struct CommandLine {
    bool matchOnly = false;
    bool quiet = false;
    bool help = false;
    bool version = false;
    std::string project;
    std::vector<std::string> inputs;
    // Project parameters given as options, in the engine's unit, by ParameterId.
    std::array<std::optional<double>, kParameterCount> parameters;
    std::optional<int> seed;
    std::optional<std::string> reference;

    std::optional<double> Parameter(ParameterId id) const { return parameters[id]; }
};

// Parses argv; false with a one-line message for bad usage (unknown option, missing or
// out-of-range value).
bool ParseCommandLine(int argc, char** argv, CommandLine& out, std::string* message);

// The --help text.
std::string Usage();
