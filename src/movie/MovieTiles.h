#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "image/ImgTypes.h"
#include "movie/VrMovieSettings.h"

// The panorama image as QuickTime VR 2.1 stores a cylinder: turned 90 degrees counter-clockwise
// (its right edge on top) and diced from top to bottom into equal frames, each compressed on
// its own. Tile k therefore holds the columns [width - (k + 1) w, width - k w) of the upright
// panorama, w = width / tiles.
struct MovieTiles {
    uint32_t codec = 0;    // 'jpeg' (Photo - JPEG) or 'png ' (PNG, lossless)
    int codecQuality = 0;  // QuickTime's codec quality, 0x100 .. 0x400
    int tileWidth = 0;     // of a stored (turned) tile: the panorama's height
    int tileHeight = 0;    // the panorama's width / tiles
    std::vector<std::vector<uint8_t>> samples;
};

constexpr uint32_t kCodecJpeg = 0x6a706567;  // 'jpeg'
constexpr uint32_t kCodecPng = 0x706e6720;   // 'png '
constexpr uint32_t kCodecRaw = 0x72617720;   // 'raw ' (uncompressed, read only)

// Dices and compresses the panorama, whose width must be a multiple of tiles. tileDone is called
// once per tile, in tile order, from the calling thread (the tiles themselves are compressed on
// all cores). False with the reason when a tile cannot be compressed.
bool EncodeTiles(const ImgRGB& panorama, int tiles, VrQuality quality, MovieTiles* out, std::string* why,
                 const std::function<void(int tile)>& tileDone = {});

// Whether sample holds a whole width x height frame of the codec, found without taking memory
// for its pixels (a JPEG's entropy data is walked to its end, a raw frame's bytes counted, a
// PNG's header and its data's size checked against what deflate can hold); the reason when not.
bool TileDecodes(uint32_t codec, int depth, std::span<const uint8_t> sample, int width, int height, std::string* why);

// Decodes one stored tile of the codec into 24-bit pixels of exactly width x height (a JPEG cut
// short counts as undecodable). False with the reason otherwise.
bool DecodeTile(uint32_t codec, int depth, std::span<const uint8_t> sample, int width, int height, ImgRGB* out,
                std::string* why);
