#pragma once

#include <string>

// The parameters of a cylindrical QuickTime VR movie, as the movie parameters dialog edits them
// and vedora-stitch takes them from its options.
enum class VrQuality { Lossless = 0, High = 1, Normal = 2, Low = 3 };

struct VrMovieSettings {
    static constexpr int kMinTiles = 4, kMaxTiles = 64, kDefaultTiles = 4;
    static constexpr int kMinAngle = 0, kMaxAngle = 360, kDefaultAngle = 360;
    static constexpr int kMinWidth = 128, kMaxWidth = 2048, kDefaultWidth = 640;
    static constexpr int kMinHeight = 100, kMaxHeight = 2048, kDefaultHeight = 480;

    int tiles = kDefaultTiles;
    VrQuality quality = VrQuality::High;
    int angle = kDefaultAngle;  // degrees from the start to the end of the panorama on the cylinder
    int windowWidth = kDefaultWidth;
    int windowHeight = kDefaultHeight;

    bool operator==(const VrMovieSettings&) const = default;
};

// QuickTime's codec quality of a level: lossless 0x400, high 0x300, normal 0x200, low 0x100. It
// is recorded in each tile's sample description.
int CodecQualityOf(VrQuality quality);
// The JPEG quality (0..100) that a level compresses with: high 95 with colour at full resolution,
// normal 80 and low 60 with colour at half resolution. Lossless tiles are PNG-compressed instead
// (JpegQualityOf gives 100 for it, unused).
int JpegQualityOf(VrQuality quality);

// The option values of vedora-stitch. Each gives false and a message naming the accepted
// values when the text is not one of them; the target is untouched then.
bool ParseVrQuality(const std::string& text, VrQuality* quality, std::string* why);
bool ParseVrTiles(const std::string& text, int* tiles, std::string* why);
bool ParseVrAngle(const std::string& text, int* angle, std::string* why);
// "640x480" (or with 'X').
bool ParseVrWindow(const std::string& text, int* width, int* height, std::string* why);
// Whether every value lies in its range and the angle can make a movie (an angle of 0 cannot:
// the panorama would have no extent on the cylinder).
bool ValidateVrMovieSettings(const VrMovieSettings& settings, std::string* why);

// The width a panorama is scaled to before it is diced: the largest multiple of the number of
// tiles not above the width (a 5000-pixel panorama keeps its width with 4 tiles and becomes
// 4998 pixels wide with 6).
int TiledWidth(int width, int tiles);
