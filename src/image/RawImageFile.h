#pragma once

class Img;

// The raw image file: "ZELV", then type code, width, height, bytes per pixel and row stride
// as 32-bit little-endian integers, then the rows exactly as held in memory.
bool SaveRawImage(const Img& image, const char* path);
// Rejects any header that does not describe an image of this image's own type exactly,
// without touching the image.
bool LoadRawImage(Img& image, const char* path);
