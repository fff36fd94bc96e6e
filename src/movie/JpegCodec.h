#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class ImgRGB;

// Compresses 8-bit RGB rows (red, green, blue) to a baseline JPEG. fullChroma keeps colour at
// full resolution (4:4:4); otherwise it is halved both ways (4:2:0), the common choice. Qt's
// writer always halves colour, which costs detailed panoramas several dB even at quality 100,
// hence libjpeg directly. False when the library reports an error.
bool EncodeJpeg(const uint8_t* rgb, int width, int height, int stride, int quality, bool fullChroma,
                std::vector<uint8_t>* out);

// Decodes a JPEG of exactly width x height straight into 24-bit pixels. Data the library only
// warns about (a stream cut short, corrupt entropy data) counts as undecodable, as does any
// other size. False then, out untouched.
bool DecodeJpeg(const uint8_t* data, size_t size, int width, int height, ImgRGB* out);
// Whether DecodeJpeg() would succeed, found without taking memory for the pixels: the frame's
// size is checked and its entropy data walked to the end (the rows themselves are skipped).
bool JpegDecodes(const uint8_t* data, size_t size, int width, int height);
