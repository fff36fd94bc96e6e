#pragma once

#include <QByteArray>

#include <string>
#include <vector>

inline void PutGifWord(std::string& out, int value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

// A GIF whose logical screen and first (only) frame have the given sizes, every pixel white.
// The pixel data is LZW with 3-bit codes, a clear code before each pixel so the code size
// never grows.
inline QByteArray HandMadeGif(int screenW, int screenH, int left, int top, int frameW, int frameH) {
    std::string gif = "GIF89a";
    PutGifWord(gif, screenW);
    PutGifWord(gif, screenH);
    gif += '\x80';                                // a global colour table of two entries
    gif += std::string("\0\0", 2);                // background colour, aspect ratio
    gif += std::string("\0\0\0\xFF\xFF\xFF", 6);  // black, white
    gif += ',';
    PutGifWord(gif, left);
    PutGifWord(gif, top);
    PutGifWord(gif, frameW);
    PutGifWord(gif, frameH);
    gif += '\0';
    std::vector<int> codes = {4};
    for (int i = 0; i < frameW * frameH; ++i)
        codes.insert(codes.end(), {1, 4});
    codes.push_back(5);
    std::string packed;
    unsigned bits = 0;
    int count = 0;
    for (int code : codes) {
        bits |= static_cast<unsigned>(code) << count;
        for (count += 3; count >= 8; count -= 8, bits >>= 8)
            packed += static_cast<char>(bits & 0xFF);
    }
    if (count > 0)
        packed += static_cast<char>(bits & 0xFF);
    gif += '\x02';  // minimum code size
    for (size_t at = 0; at < packed.size(); at += 255) {
        std::string block = packed.substr(at, 255);
        gif += static_cast<char>(block.size());
        gif += block;
    }
    gif += std::string("\0;", 2);
    return QByteArray(gif.data(), static_cast<qsizetype>(gif.size()));
}
