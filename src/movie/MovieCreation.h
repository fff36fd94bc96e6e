#pragma once

#include <functional>
#include <string>

#include "movie/VrMovieSettings.h"

// Making a QuickTime VR movie from a saved panorama image, step by step as the movie dialog
// shows it: three temporary files, the image fitted to the tiles and kept as PNG, a movie of the
// compressed tiles, the panorama movie built from it, the name to save under, the final write
// under a temporary name and the rename, and the temporary files deleted. Headless: the
// caller shows the progress and asks for the name.

struct MovieCreationHooks {
    // Called after each stage with the number of stages done (1 .. MovieCreationSteps(tiles)).
    std::function<void(int done)> progress;
    // Asked for the movie's path with the proposal; an empty answer cancels.
    std::function<std::string(const std::string& proposal)> chooseSavePath;
};

struct MovieCreationResult {
    enum class Status { Written, Cancelled, Failed };
    Status status = Status::Failed;
    std::string moviePath;  // the file written
    std::string message;    // why it failed
};

// The stages that report progress: tiles + 8.
int MovieCreationSteps(int tiles);
// The image's folder and base name with ".mov".
std::string ProposedMoviePath(const std::string& imagePath);
// The chosen name with ".mov" appended unless it already ends so (any case).
std::string WithMovieSuffix(const std::string& path);

// temporaryFolder: where the temporary files go; the system's temporary folder when empty.
// Nothing is left in it, whatever the outcome, and nothing is written under the movie's name
// unless the whole movie was.
MovieCreationResult CreateMovieFromImageFile(const std::string& imagePath, const VrMovieSettings& settings,
                                             const MovieCreationHooks& hooks, const std::string& temporaryFolder = {});
