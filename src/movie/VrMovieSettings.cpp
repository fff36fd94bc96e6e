#include "movie/VrMovieSettings.h"

#include <QCoreApplication>

#include <charconv>

namespace {

std::string Translate(const char* text) { return QCoreApplication::translate("VrMovieSettings", text).toStdString(); }

bool ParseInt(const std::string& text, int* value) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, *value);
    return ec == std::errc() && ptr == end && !text.empty();
}

bool ParseInRange(const std::string& text, int low, int high, int* out, const char* message, std::string* why) {
    int value = 0;
    if (!ParseInt(text, &value) || value < low || value > high) {
        *why = QCoreApplication::translate("VrMovieSettings", message)
                   .arg(QString::fromStdString(text))
                   .arg(low)
                   .arg(high)
                   .toStdString();
        return false;
    }
    *out = value;
    return true;
}

}  // namespace

int CodecQualityOf(VrQuality quality) {
    switch (quality) {
    case VrQuality::Lossless: return 0x400;
    case VrQuality::High: return 0x300;
    case VrQuality::Normal: return 0x200;
    case VrQuality::Low: return 0x100;
    }
    return 0x300;
}

int JpegQualityOf(VrQuality quality) {
    switch (quality) {
    case VrQuality::Lossless: return 100;
    case VrQuality::High: return 95;
    case VrQuality::Normal: return 80;
    case VrQuality::Low: return 60;
    }
    return 95;
}

bool ParseVrQuality(const std::string& text, VrQuality* quality, std::string* why) {
    static const std::pair<const char*, VrQuality> names[] = {{"lossless", VrQuality::Lossless},
                                                              {"high", VrQuality::High},
                                                              {"normal", VrQuality::Normal},
                                                              {"low", VrQuality::Low}};
    for (const auto& [name, value] : names) {
        if (text == name) {
            *quality = value;
            return true;
        }
    }
    *why = QCoreApplication::translate("VrMovieSettings",
                                       "Unknown movie quality \"%1\"; use lossless, high, normal or low.")
               .arg(QString::fromStdString(text))
               .toStdString();
    return false;
}

bool ParseVrTiles(const std::string& text, int* tiles, std::string* why) {
    return ParseInRange(text, VrMovieSettings::kMinTiles, VrMovieSettings::kMaxTiles, tiles,
                        "The number of tiles \"%1\" must be a whole number from %2 to %3.", why);
}

bool ParseVrAngle(const std::string& text, int* angle, std::string* why) {
    return ParseInRange(text, 1, VrMovieSettings::kMaxAngle, angle,
                        "The movie angle \"%1\" must be a whole number of degrees from %2 to %3.", why);
}

bool ParseVrWindow(const std::string& text, int* width, int* height, std::string* why) {
    size_t x = text.find_first_of("xX");
    int w = 0, h = 0;
    if (x == std::string::npos || !ParseInt(text.substr(0, x), &w) || !ParseInt(text.substr(x + 1), &h) ||
        w < VrMovieSettings::kMinWidth || w > VrMovieSettings::kMaxWidth || h < VrMovieSettings::kMinHeight ||
        h > VrMovieSettings::kMaxHeight) {
        *why = QCoreApplication::translate("VrMovieSettings",
                                           "The movie window \"%1\" must be WIDTHxHEIGHT with a width from %2 "
                                           "to %3 and a height from %4 to %5 pixels.")
                   .arg(QString::fromStdString(text))
                   .arg(VrMovieSettings::kMinWidth)
                   .arg(VrMovieSettings::kMaxWidth)
                   .arg(VrMovieSettings::kMinHeight)
                   .arg(VrMovieSettings::kMaxHeight)
                   .toStdString();
        return false;
    }
    *width = w;
    *height = h;
    return true;
}

bool ValidateVrMovieSettings(const VrMovieSettings& s, std::string* why) {
    using S = VrMovieSettings;
    if (s.tiles < S::kMinTiles || s.tiles > S::kMaxTiles || s.windowWidth < S::kMinWidth ||
        s.windowWidth > S::kMaxWidth || s.windowHeight < S::kMinHeight || s.windowHeight > S::kMaxHeight ||
        s.angle < S::kMinAngle || s.angle > S::kMaxAngle || static_cast<int>(s.quality) < 0 ||
        static_cast<int>(s.quality) > 3) {
        *why = Translate("The movie creation settings are out of range.");
        return false;
    }
    if (s.angle == 0) {
        *why = Translate("An angle of 0 degrees gives the panorama no extent on the cylinder; set the angle in "
                         "the movie creation settings.");
        return false;
    }
    return true;
}

int TiledWidth(int width, int tiles) {
    if (tiles <= 0)
        return width;
    return tiles * (width / tiles);
}
