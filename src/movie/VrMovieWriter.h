#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "image/ImgTypes.h"
#include "movie/CylinderGeometry.h"
#include "movie/MovieTiles.h"
#include "movie/VrMovieSettings.h"

// What a single-node cylindrical QuickTime VR movie says besides its tiles.
struct VrMovieDescription {
    int panoramaWidth = 0, panoramaHeight = 0;  // the upright panorama
    VrAngles angles;
    int windowWidth = VrMovieSettings::kDefaultWidth, windowHeight = VrMovieSettings::kDefaultHeight;
    std::string sceneName = "My Scene";
    std::string nodeName = "My Node";
};

// A plain QuickTime movie whose frames are the tiles (one video track).
std::vector<uint8_t> BuildTileMovie(const MovieTiles& tiles);
// The tiles back from such a movie (its first video track). False with the reason otherwise.
bool ReadTileMovie(std::span<const uint8_t> data, MovieTiles* tiles, std::string* why);

// The flattened QuickTime VR movie (QuickTime VR 2.x layout): the QTVR track (track 1) with the
// VR world in its sample description and the node information as its one sample; the panorama
// track (track 2) with the panorama sample atom and an 'imgt' reference to the image track
// (track 3), whose frames are the tiles; the movie's controller type 'qtvr'.
std::vector<uint8_t> BuildVrMovie(const MovieTiles& tiles, const VrMovieDescription& description);

// Why a movie cannot hold a panorama of width x height pixels (more than the reader opens);
// empty when it can.
std::string MovieSizeProblem(int64_t width, int64_t height);

// Replaces the file at path with the movie's bytes by the rules of every output (PartialFile:
// through a link, never over a device or a read-only file, owner, group and mode kept, every
// write and the flush checked, the old file whole on any failure). False with the reason.
bool WriteMovieFile(const std::string& path, std::span<const uint8_t> bytes, std::string* why);

// The whole job for the command line: the panorama scaled to a width that is a multiple of the
// tiles, diced, compressed, assembled and written to path as above. False with the reason
// (settings out of range, an angle of 0, a panorama narrower than the tiles, a failed write).
bool WriteVrMovie(const ImgRGB& panorama, const VrMovieSettings& settings, const std::string& path, std::string* why);
