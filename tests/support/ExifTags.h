#pragma once

// Writes EXIF tags into a photograph the test made, through Exiv2, and reads back what a file
// carries: values are given as text in Exiv2's notation ("6", "50/1", "Canon").
#include <exiv2/exiv2.hpp>

#include <cmath>
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

// Embeds an ICC colour profile.
inline void WriteIccProfile(const std::string& path, const std::string& profile) {
    auto image = Exiv2::ImageFactory::open(path);
    image->readMetadata();
    Exiv2::DataBuf buffer(reinterpret_cast<const Exiv2::byte*>(profile.data()), static_cast<long>(profile.size()));
    image->setIccProfile(buffer);
    image->writeMetadata();
}

// What a file carries, read once.
struct FileMetadata {
    Exiv2::ExifData exif;
    Exiv2::XmpData xmp;

    explicit FileMetadata(const std::string& path) {
        auto image = Exiv2::ImageFactory::open(path);
        image->readMetadata();
        exif = image->exifData();
        xmp = image->xmpData();
    }
    // A tag's value as text; empty when absent.
    std::string Exif(const std::string& key) const {
        const auto it = exif.findKey(Exiv2::ExifKey(key));
        return it == exif.end() ? std::string() : it->toString();
    }
    // Element i of a numeric tag; NaN when absent.
    double ExifNumber(const std::string& key, long i = 0) const {
        const auto it = exif.findKey(Exiv2::ExifKey(key));
        return it == exif.end() || it->count() <= i ? std::nan("") : it->toFloat(i);
    }
    std::string Xmp(const std::string& key) const {
        const auto it = xmp.findKey(Exiv2::XmpKey(key));
        return it == xmp.end() ? std::string() : it->toString();
    }
    long XmpNumber(const std::string& key) const { return std::stol("0" + Xmp(key)); }
    bool AnyInGroup(const std::string& group) const {
        for (const Exiv2::Exifdatum& datum : exif)
            if (datum.groupName() == group)
                return true;
        return false;
    }
};

// The value of one tag as text; empty when absent.
inline std::string ExifTag(const std::string& path, const std::string& key) { return FileMetadata(path).Exif(key); }
