#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "engine/ProjectParameters.h"
#include "movie/VrMovieSettings.h"

// A crop rectangle in pixels of the uncropped panorama.
struct CropOption {
    int left = 0, top = 0, width = 0, height = 0;
};

// What the command line asked for.
struct CommandLine {
    bool matchOnly = false;
    bool preview = false;
    bool rematch = false;
    bool noRefine = false;
    bool matchAllPairs = false;  // --match-all-pairs: match every pair in full, however many
    bool treeFit = false;        // --tree-fit: the camera fit over one pair per photograph
    bool noCrop360 = false;
    bool quiet = false;
    bool help = false;
    bool version = false;
    std::string project;  // --project: the project to write
    std::string output;   // -o: the panorama to write
    std::string cameras;  // --cameras: the fit as JSON
    std::string report;   // --report: the quality report as JSON
    std::string uncropped;
    std::string vrMovie;    // --vr-movie: a QuickTime VR movie of the panorama
    std::string fromImage;  // --from-image: make the movie of this image instead of stitching
    VrMovieSettings vr;
    bool vrOptionGiven = false;  // --tiles, --vr-quality, --vr-angle or --vr-window
    std::vector<std::string> inputs;
    // Project parameters given as options, in the engine's unit, by ParameterId.
    std::array<std::optional<double>, kParameterCount> parameters;
    std::optional<int> size;             // --size N
    bool nativeSize = false;             // --size native
    std::optional<int> memoryMegabytes;  // --memory MB
    std::optional<CropOption> crop;
    int quality = 100;
    int depth = 0;  // --depth 8|16 for TIFF and PNG; 0: each format's own
    std::optional<int> seed;
    std::optional<std::string> reference;
    // --groups OUTDIR: a panorama for every group of overlapping photographs, into OUTDIR.
    std::string groups;
    bool groupProjects = false;         // --projects: a project beside every group's panorama
    bool overwrite = false;             // --overwrite: the groups' files may replace OUTDIR's
    std::optional<std::string> format;  // --format jpg|png|tif of the groups' panoramas

    std::optional<double> Parameter(ParameterId id) const { return parameters[id]; }
    // The run draws a panorama (a preview or the final stitch), to write it or its movie.
    bool Stitches() const { return fromImage.empty() && (!output.empty() || !vrMovie.empty()); }
    // The run only turns an image into a movie.
    bool MovieFromImage() const { return !fromImage.empty(); }
    // The run writes one panorama per group of overlapping photographs into a folder.
    bool Groups() const { return !groups.empty(); }
    // The suffix of the groups' panoramas, with its dot.
    std::string GroupSuffix() const { return "." + format.value_or("jpg"); }
    // The run stitches a saved project rather than photographs.
    bool FromProject() const;
};

// Parses argv; false with a one-line message for bad usage (unknown option, missing or
// out-of-range value, a combination that means nothing).
bool ParseCommandLine(int argc, char** argv, CommandLine& out, std::string* message);

// The --help text.
std::string Usage();
