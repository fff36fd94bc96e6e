#pragma once

// Writes EXIF tags into a photograph the test made, through Exiv2: values are given as text in
// Exiv2's notation ("6", "50/1", "Canon").
#include <exiv2/exiv2.hpp>

#include <string>
#include <utility>
#include <vector>

using ExifTagList = std::vector<std::pair<std::string, std::string>>;

inline void WriteExifTags(const std::string& path, const ExifTagList& tags) {
    auto image = Exiv2::ImageFactory::open(path);
    image->readMetadata();
    Exiv2::ExifData& exif = image->exifData();
    for (const auto& [key, value] : tags)
        exif[key] = value;
    image->writeMetadata();
}

// The value of one tag as text; empty when absent.
inline std::string ExifTag(const std::string& path, const std::string& key) {
    auto image = Exiv2::ImageFactory::open(path);
    image->readMetadata();
    const Exiv2::ExifData& exif = image->exifData();
    const auto it = exif.findKey(Exiv2::ExifKey(key));
    return it == exif.end() ? std::string() : it->toString();
}
