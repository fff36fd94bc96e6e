#pragma once

#include <string>

#include <tiffio.h>

// An EXIF block (TIFF layout, as EmbeddedMetadata holds it) written into a TIFF that is being
// written: a TIFF has no EXIF segment, its EXIF and GPS tags live in directories of their own
// that the image's directory points to. Tags that libtiff does not know, or whose values do not
// have the count it expects, are left out.
class TiffExifTags {
public:
    // Throws nothing: a block that cannot be decoded gives no tags.
    explicit TiffExifTags(const std::string& exif);

    bool Empty() const { return !photo && !gps && !image; }

    // Before the image: the descriptive tags of the image's own directory (camera, date,
    // author) and the pointers to the EXIF and GPS directories, still zero.
    bool SetImageTags(TIFF* tif) const;
    // After the image's last row: writes the image's directory, then the EXIF and GPS
    // directories, and writes the image's directory again with their places in it.
    bool WriteDirectories(TIFF* tif) const;

private:
    std::string block;
    bool photo = false, gps = false, image = false;
};
