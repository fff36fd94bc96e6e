#pragma once

#include <dirent.h>

#include <cstdint>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "image/ImgTypes.h"
#include "image/RowImageWriter.h"

// Pictures for the row writers' tests, laid out with a row stride larger than the pixels so
// that a writer that ignores the stride shows it.
struct Picture8 {
    int width = 0, height = 0;
    ptrdiff_t stride = 0;
    std::vector<uint8_t> bytes;
    const Rgb* Row(int y) const { return reinterpret_cast<const Rgb*>(bytes.data() + y * stride); }
    Rgb* Row(int y) { return reinterpret_cast<Rgb*>(bytes.data() + y * stride); }
};

struct Picture16 {
    int width = 0, height = 0;
    ptrdiff_t stride = 0;  // in bytes
    std::vector<uint16_t> samples;
    const uint16_t* Row(int y) const { return samples.data() + y * (stride / 2); }
    uint16_t* Row(int y) { return samples.data() + y * (stride / 2); }
};

inline Picture8 EmptyPicture8(int width, int height) {
    Picture8 p;
    p.width = width;
    p.height = height;
    p.stride = width * 3 + 7;
    p.bytes.assign(static_cast<size_t>(p.stride * height), 0xEE);  // filler a writer must not copy
    return p;
}

// Smooth ramps, a different one in each channel.
inline Picture8 Gradient8(int width, int height) {
    Picture8 p = EmptyPicture8(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            Rgb& px = p.Row(y)[x];
            px.b = static_cast<uint8_t>(x * 255 / (width - 1));
            px.g = static_cast<uint8_t>(y * 255 / (height - 1));
            px.r = static_cast<uint8_t>(255 - (x + y) * 255 / (width + height - 2));
        }
    return p;
}

// Content no encoder can shrink much.
inline Picture8 Noise8(int width, int height) {
    Picture8 p = EmptyPicture8(width, height);
    uint32_t state = 12345;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            Rgb& px = p.Row(y)[x];
            state = state * 1664525u + 1013904223u;
            px.b = static_cast<uint8_t>(state >> 24);
            px.g = static_cast<uint8_t>(state >> 16);
            px.r = static_cast<uint8_t>(state >> 8);
        }
    return p;
}

// 16-bit ramps whose low bytes change as much as their high bytes, so that a swapped byte
// order or a loss to 8 bits shows.
inline Picture16 Gradient16(int width, int height) {
    Picture16 p;
    p.width = width;
    p.height = height;
    p.stride = (width * 3 + 2) * 2;
    p.samples.assign(static_cast<size_t>(p.stride / 2 * height), 0xEEEE);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint16_t* px = p.Row(y) + 3 * x;
            px[0] = static_cast<uint16_t>(x * 197 + y);          // blue
            px[1] = static_cast<uint16_t>(y * 401 + 7 * x);      // green
            px[2] = static_cast<uint16_t>(x * y * 13 + 0x1234);  // red
        }
    return p;
}

inline ImgRGB ToImage(const Picture8& p) {
    ImgRGB image(p.width, p.height);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            image.At(x, y) = p.Row(y)[x];
    return image;
}

// Rows handed over in bands of the given heights, the last band taking what is left.
inline bool WriteInBands(RowImageWriter& writer, const Picture8& p, std::initializer_list<int> bands) {
    int y = 0;
    for (int band : bands) {
        band = std::min(band, p.height - y);
        if (!writer.WriteRows(p.Row(y), band, p.stride))
            return false;
        y += band;
    }
    return y == p.height || writer.WriteRows(p.Row(y), p.height - y, p.stride);
}

inline bool WriteInBands(RowImageWriter& writer, const Picture16& p, std::initializer_list<int> bands) {
    int y = 0;
    for (int band : bands) {
        band = std::min(band, p.height - y);
        if (!writer.WriteRows16(p.Row(y), band, p.stride))
            return false;
        y += band;
    }
    return y == p.height || writer.WriteRows16(p.Row(y), p.height - y, p.stride);
}

inline std::set<std::string> NamesIn(const std::string& folder) {
    std::set<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* entry = readdir(dir))
            if (std::string(entry->d_name) != "." && std::string(entry->d_name) != "..")
                names.insert(entry->d_name);
        closedir(dir);
    }
    return names;
}

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}
