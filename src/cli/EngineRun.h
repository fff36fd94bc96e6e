#pragma once

// What every run of vedora-stitch does with its engine, whatever it writes: the exit statuses,
// Ctrl-C, the hooks that show progress, the options and the project it opens.
#include <string>

#include "cli/CommandLine.h"
#include "cli/Progress.h"
#include "engine/PanoramaEngine.h"
#include "engine/ProjectStore.h"

constexpr int kMatched = 0;
constexpr int kNoOverlap = 1;
constexpr int kError = 2;
constexpr int kLeftOut = 3;  // the panorama was written, but photographs were left out of it
constexpr int kInterrupted = 130;

// Says message on stderr in the program's name; returns kError.
int Fail(const std::string& message);

// Whether Ctrl-C was pressed since InstallHooks.
bool Interrupted();

// Progress of the engine's operations on progress; each hook answers "abort" once Ctrl-C was
// pressed, which from now on ends no run by itself.
void InstallHooks(PanoramaEngine& engine, Progress& progress);

// The project parameters and the seed given as options.
void ApplyOptions(const CommandLine& cl, PanoramaEngine& engine);
// Those and what the stitch takes from the command line besides: the size, the memory budget,
// the 360-degree crop, and the folder of the panorama's tile file.
void ApplyStitchOptions(const CommandLine& cl, PanoramaEngine& engine, const std::string& scratchFolder);

// The project to work on: a saved one, or a new one holding the photographs (what it noted
// of them is said on stderr). False with the reason.
bool OpenProject(const CommandLine& cl, ProjectStore& store, std::string* message);
