#pragma once

#include <string>

// What a photograph's file records beside its pixels, read through Exiv2: the EXIF block that
// a panorama made from it carries on, its colour profile, and the lens the camera recorded.
// A stranger's file may hold anything here: a block that cannot be read leaves the photograph
// without its metadata and says why, it never stops the photograph from being stitched.
struct PhotoMetadata {
    // The EXIF block in its TIFF layout (byte order mark first), as a JPEG's APP1 segment holds
    // it after "Exif\0\0"; empty when the file has none.
    std::string exif;
    // The embedded ICC colour profile; empty when none.
    std::string icc;
    // FocalLengthIn35mmFilm, FocalLength (mm), and the sensor's resolution from
    // FocalPlaneXResolution in pixels per millimetre; 0 where not recorded.
    double focalLength35mm = 0;
    double focalLengthMm = 0;
    double focalPlanePixelsPerMm = 0;
    // The pixel size the camera recorded (PixelXDimension, PixelYDimension): where the file was
    // reduced since, the sensor's resolution is reduced with it. 0 where not recorded.
    int recordedWidth = 0, recordedHeight = 0;
    // The compass direction the camera looked in (GPSImgDirection), degrees; negative: unknown.
    double heading = -1;
    // Why the metadata could not be read, for a note; empty when it was read or there was none.
    std::string problem;
};

// Reads path's metadata; never throws. A file without metadata gives an empty result.
PhotoMetadata ReadPhotoMetadata(const std::string& path);

// The focal length the camera recorded in pixels of the photograph as loaded (width x height,
// upright or not: the long sides are compared), 0 when the file does not say: from the 35 mm
// equivalent over the diagonal, else from FocalLength and the sensor's resolution.
double RecordedFocalLengthPixels(const PhotoMetadata& metadata, int width, int height);
