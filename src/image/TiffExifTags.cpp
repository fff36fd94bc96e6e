#include "image/TiffExifTags.h"

#include <exiv2/exiv2.hpp>

#include <cstring>
#include <exception>
#include <vector>

#include "image/ExivSetup.h"

namespace {

Exiv2::ExifData Decoded(const std::string& block) {
    Exiv2::ExifData exif;
    try {
        PrepareExiv2();
        if (!block.empty())
            Exiv2::ExifParser::decode(exif, reinterpret_cast<const Exiv2::byte*>(block.data()),
                                      static_cast<uint32_t>(block.size()));
    } catch (const std::exception&) {
        exif.clear();
    }
    return exif;
}

bool InImageDirectory(const Exiv2::Exifdatum& datum) {
    // The image's own structure is the writer's; only the ASCII descriptions come across.
    return datum.groupName() == "Image" && datum.typeId() == Exiv2::asciiString;
}

// The values of datum as libtiff stores them for field: elements of `size` bytes, integers or,
// for rationals and floating point, float or double as the field says.
std::vector<unsigned char> Elements(const Exiv2::Exifdatum& datum, TIFFDataType type, int size) {
    const long count = datum.count();
    std::vector<unsigned char> out(static_cast<size_t>(count) * static_cast<size_t>(size));
    const bool real = type == TIFF_RATIONAL || type == TIFF_SRATIONAL || type == TIFF_FLOAT || type == TIFF_DOUBLE;
    for (long i = 0; i < count; ++i) {
        unsigned char* at = out.data() + static_cast<size_t>(i) * static_cast<size_t>(size);
        if (real && size == 4) {
            const float v = datum.toFloat(i);
            std::memcpy(at, &v, 4);
        } else if (real) {
            const double v = datum.toFloat(i);
            std::memcpy(at, &v, 8);
        } else if (size == 1) {
            at[0] = static_cast<unsigned char>(datum.toLong(i));
        } else if (size == 2) {
            const uint16_t v = static_cast<uint16_t>(datum.toLong(i));
            std::memcpy(at, &v, 2);
        } else if (size == 4) {
            const uint32_t v = static_cast<uint32_t>(datum.toLong(i));
            std::memcpy(at, &v, 4);
        } else {
            const uint64_t v = static_cast<uint64_t>(datum.toLong(i));
            std::memcpy(at, &v, 8);
        }
    }
    return out;
}

// One datum into the current directory in the way libtiff's field for it is set; false only
// when libtiff refused a value it was handed.
bool SetDatum(TIFF* tif, const Exiv2::Exifdatum& datum) {
    const TIFFField* field = TIFFFindField(tif, datum.tag(), TIFF_ANY);
    const long count = datum.count();
    if (!field || count <= 0)
        return true;
    const TIFFDataType type = TIFFFieldDataType(field);
    const uint32_t tag = datum.tag();
    if (type == TIFF_ASCII)
        return TIFFSetField(tif, tag, datum.toString().c_str()) == 1;
    const int size = TIFFFieldSetGetSize(field);
    if (size != 1 && size != 2 && size != 4 && size != 8)
        return true;
    const bool real = type == TIFF_RATIONAL || type == TIFF_SRATIONAL || type == TIFF_FLOAT || type == TIFF_DOUBLE;
    const int expected = TIFFFieldReadCount(field);
    if (TIFFFieldPassCount(field)) {
        std::vector<unsigned char> values = Elements(datum, type, size);
        if (expected == TIFF_VARIABLE2)
            return TIFFSetField(tif, tag, static_cast<uint32_t>(count), values.data()) == 1;
        return count <= 65535 ? TIFFSetField(tif, tag, static_cast<int>(count), values.data()) == 1 : true;
    }
    if (expected == 1 && count == 1) {
        if (real)
            return TIFFSetField(tif, tag, static_cast<double>(datum.toFloat(0))) == 1;
        if (size == 8)
            return TIFFSetField(tif, tag, static_cast<uint64_t>(datum.toLong(0))) == 1;
        return TIFFSetField(tif, tag, static_cast<uint32_t>(datum.toLong(0))) == 1;
    }
    if (expected == count) {
        std::vector<unsigned char> values = Elements(datum, type, size);
        return TIFFSetField(tif, tag, values.data()) == 1;
    }
    return true;
}

bool SetGroup(TIFF* tif, const Exiv2::ExifData& exif, const char* group) {
    for (const Exiv2::Exifdatum& datum : exif)
        if (datum.groupName() == group && !SetDatum(tif, datum))
            return false;
    return true;
}

}  // namespace

TiffExifTags::TiffExifTags(const std::string& exif) : block(exif) {
    for (const Exiv2::Exifdatum& datum : Decoded(block)) {
        photo = photo || datum.groupName() == "Photo";
        gps = gps || datum.groupName() == "GPSInfo";
        image = image || InImageDirectory(datum);
    }
}

bool TiffExifTags::SetImageTags(TIFF* tif) const {
    if (Empty())
        return true;
    for (const Exiv2::Exifdatum& datum : Decoded(block))
        if (InImageDirectory(datum) && !SetDatum(tif, datum))
            return false;
    return (!photo || TIFFSetField(tif, TIFFTAG_EXIFIFD, uint64_t(0)) == 1) &&
           (!gps || TIFFSetField(tif, TIFFTAG_GPSIFD, uint64_t(0)) == 1);
}

bool TiffExifTags::WriteDirectories(TIFF* tif) const {
    if (!photo && !gps)
        return true;
    const Exiv2::ExifData exif = Decoded(block);
    if (TIFFWriteDirectory(tif) != 1)
        return false;
    uint64_t photoOffset = 0, gpsOffset = 0;
    if (photo && (TIFFCreateEXIFDirectory(tif) != 0 || !SetGroup(tif, exif, "Photo") ||
                  TIFFWriteCustomDirectory(tif, &photoOffset) != 1))
        return false;
    // libtiff keeps the values of a custom directory when the next one is created over it: they
    // are freed first.
    if (photo && gps)
        TIFFFreeDirectory(tif);
    if (gps && (TIFFCreateGPSDirectory(tif) != 0 || !SetGroup(tif, exif, "GPSInfo") ||
                TIFFWriteCustomDirectory(tif, &gpsOffset) != 1))
        return false;
    // The image's directory, read back, gets the two places and is written again at the end of
    // the file, the header pointing to it.
    if (TIFFSetDirectory(tif, 0) != 1)
        return false;
    if ((photo && TIFFSetField(tif, TIFFTAG_EXIFIFD, photoOffset) != 1) ||
        (gps && TIFFSetField(tif, TIFFTAG_GPSIFD, gpsOffset) != 1))
        return false;
    return TIFFRewriteDirectory(tif) == 1;
}
