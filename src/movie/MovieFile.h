#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// A flattened QuickTime movie file: ftyp, the movie atom, then one media data atom with every
// track's samples, each track's samples forming one chunk. The movie atom comes first so that a
// player can start before the data has arrived.

// One track to write. Sample descriptions are given whole (size and format included).
struct MovieTrackSpec {
    uint32_t id = 1;
    char handler[5] = "vide";  // media handler subtype: 'vide', 'qtvr', 'pano'
    const char* handlerName = "";
    bool enabled = true;
    double width = 0, height = 0;  // track dimensions in pixels
    std::vector<uint8_t> sampleDescription;
    uint32_t sampleDuration = 60;  // per sample, in the media time scale
    std::vector<std::vector<uint8_t>> samples;
    uint32_t imageTrackReference = 0;  // 'imgt' reference to this track ID (0: none)
};

constexpr uint32_t kMovieTimeScale = 600;

// The whole file. vrController adds the user data that makes QuickTime show the movie with its
// QuickTime VR controller ('ctyp' = 'qtvr').
std::vector<uint8_t> BuildMovieFile(const std::vector<MovieTrackSpec>& tracks, bool vrController);

// A video sample description of a compressed image format (86 bytes).
std::vector<uint8_t> VideoSampleDescription(uint32_t codec, int width, int height, int codecQuality,
                                            const std::string& compressorName);

// What the reader needs of one track of a movie file.
struct MovieTrackInfo {
    uint32_t id = 0;
    uint32_t handler = 0;  // media handler subtype
    uint32_t flags = 0;    // track header flags
    double width = 0, height = 0;
    std::span<const uint8_t> sampleDescription;  // the first entry, whole; empty when none
    std::vector<std::span<const uint8_t>> samples;
    std::vector<uint32_t> imageTrackReferences;  // IDs of its 'imgt' references, in order
};

struct MovieInfo {
    std::vector<MovieTrackInfo> tracks;
    uint32_t controllerType = 0;  // the movie's user data 'ctyp' (0 when absent)
};

// The tracks of a movie file held in data (the movie atom anywhere at the top level). False
// with the reason for anything that does not hold together: atom sizes or sample positions
// outside the file, sample tables that disagree, no movie atom.
bool ReadMovie(std::span<const uint8_t> data, MovieInfo* movie, std::string* why);
