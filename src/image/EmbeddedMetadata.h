#pragma once

#include <string>

// The metadata an image file is written with, as bytes each format embeds in its own way: a
// JPEG in APP1 and APP2 segments, a PNG in eXIf, iTXt and iCCP chunks, a TIFF in its EXIF and
// GPS directories and its XMP and ICC tags. Any part may be empty.
struct EmbeddedMetadata {
    // EXIF in its TIFF layout (byte order mark first), without the "Exif\0\0" of a JPEG segment.
    std::string exif;
    // An XMP packet.
    std::string xmp;
    // An ICC colour profile.
    std::string icc;

    bool Empty() const { return exif.empty() && xmp.empty() && icc.empty(); }
};
