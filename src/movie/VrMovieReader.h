#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "image/ImgTypes.h"
#include "movie/CylinderGeometry.h"

// A single-node cylindrical QuickTime VR movie as read back: the panorama reassembled upright
// from its tiles, its angles and the player window size.
struct VrMovie {
    ImgRGB panorama;
    VrAngles angles;
    int windowWidth = 0, windowHeight = 0;
    int tiles = 0;  // frames of the node in the image track
    int framesX = 0, framesY = 0;
    int storedWidth = 0, storedHeight = 0;  // the diced image as stored
    // The stored image is the panorama turned 90 degrees counter-clockwise (QuickTime VR 2.1's
    // cylinder layout); otherwise it is upright.
    bool storedTurned = true;
    uint32_t codec = 0;
    std::string sceneName, nodeName;
};

// Reads a movie file. False with a message that says what is wrong (not a QuickTime movie, not
// QuickTime VR, a cube or object movie, damaged atoms, a tile that does not decode); the movie
// is left unchanged then.
bool ReadVrMovieFile(const std::string& path, VrMovie* movie, std::string* why);
// The same from bytes in memory.
bool ReadVrMovie(std::span<const uint8_t> data, VrMovie* movie, std::string* why);
