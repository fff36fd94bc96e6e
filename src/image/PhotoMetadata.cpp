#include "image/PhotoMetadata.h"

#include <exiv2/exiv2.hpp>

#include <algorithm>
#include <cmath>
#include <exception>

#include "image/ExivSetup.h"

namespace {

// The value of key as a number, 0 when absent or not a positive finite number.
double PositiveNumber(const Exiv2::ExifData& exif, const char* key) {
    const auto it = exif.findKey(Exiv2::ExifKey(key));
    if (it == exif.end() || it->count() == 0)
        return 0;
    const Exiv2::Rational r = it->toRational(0);
    if (r.second == 0)
        return 0;
    const double v = double(r.first) / double(r.second);
    return std::isfinite(v) && v > 0 ? v : 0;
}

// Millimetres in one unit of FocalPlaneResolutionUnit (2 inch, the default; 3 cm; 4 mm; 5 um).
double MillimetresPerUnit(const Exiv2::ExifData& exif) {
    const auto it = exif.findKey(Exiv2::ExifKey("Exif.Photo.FocalPlaneResolutionUnit"));
    const long unit = it == exif.end() || it->count() == 0 ? 2 : it->toLong(0);
    switch (unit) {
    case 3: return 10;
    case 4: return 1;
    case 5: return 0.001;
    default: return 25.4;
    }
}

void ReadLens(const Exiv2::ExifData& exif, PhotoMetadata& out) {
    out.focalLength35mm = PositiveNumber(exif, "Exif.Photo.FocalLengthIn35mmFilm");
    out.focalLengthMm = PositiveNumber(exif, "Exif.Photo.FocalLength");
    const double resolution = PositiveNumber(exif, "Exif.Photo.FocalPlaneXResolution");
    out.focalPlanePixelsPerMm = resolution > 0 ? resolution / MillimetresPerUnit(exif) : 0;
    out.recordedWidth = static_cast<int>(std::min(PositiveNumber(exif, "Exif.Photo.PixelXDimension"), 1e9));
    out.recordedHeight = static_cast<int>(std::min(PositiveNumber(exif, "Exif.Photo.PixelYDimension"), 1e9));
    const auto direction = exif.findKey(Exiv2::ExifKey("Exif.GPSInfo.GPSImgDirection"));
    if (direction != exif.end() && direction->count() > 0) {
        const Exiv2::Rational r = direction->toRational(0);
        if (r.second != 0 && std::isfinite(double(r.first) / r.second))
            out.heading = std::fmod(std::fmod(double(r.first) / r.second, 360.0) + 360.0, 360.0);
    }
}

std::string EncodedExif(const Exiv2::ExifData& exif, Exiv2::ByteOrder order) {
    if (exif.empty())
        return std::string();
    Exiv2::Blob blob;
    Exiv2::ExifParser::encode(blob, order == Exiv2::invalidByteOrder ? Exiv2::littleEndian : order, exif);
    return std::string(blob.begin(), blob.end());
}

PhotoMetadata Unreadable(const char* why) {
    PhotoMetadata none;
    none.problem = why;
    return none;
}

}  // namespace

PhotoMetadata ReadPhotoMetadata(const std::string& path) {
    PhotoMetadata out;
    try {
        PrepareExiv2();
        ExivMessages messages;
        auto image = Exiv2::ImageFactory::open(path);
        if (!image.get())
            return out;
        image->readMetadata();
        // Parts of a damaged block may have been read; none of it is trusted.
        if (!messages.First().empty())
            return Unreadable(messages.First().c_str());
        const Exiv2::ExifData& exif = image->exifData();
        ReadLens(exif, out);
        out.exif = EncodedExif(exif, image->byteOrder());
        if (image->iccProfileDefined()) {
            const Exiv2::DataBuf* profile = image->iccProfile();
            out.icc.assign(reinterpret_cast<const char*>(profile->pData_), static_cast<size_t>(profile->size_));
        }
    } catch (const Exiv2::AnyError& error) {
        // A file Exiv2 does not know (a raw image of our own, a BMP) is no problem of its metadata.
        if (error.code() != Exiv2::kerFileContainsUnknownImageType && error.code() != Exiv2::kerDataSourceOpenFailed)
            out = Unreadable(error.what());
    } catch (const std::exception& error) {
        out = Unreadable(error.what());
    }
    return out;
}

double RecordedFocalLengthPixels(const PhotoMetadata& metadata, int width, int height) {
    if (width <= 0 || height <= 0)
        return 0;
    // 35 mm equivalence is defined over the diagonal (43.27 mm), which holds for any aspect ratio.
    const double diagonal = std::hypot(double(width), double(height));
    if (metadata.focalLength35mm > 0)
        return metadata.focalLength35mm * diagonal / std::hypot(36.0, 24.0);
    if (metadata.focalLengthMm > 0 && metadata.focalPlanePixelsPerMm > 0) {
        const int recordedLong = std::max(metadata.recordedWidth, metadata.recordedHeight);
        const double reduction = recordedLong > 0 ? double(std::max(width, height)) / recordedLong : 1.0;
        return metadata.focalLengthMm * metadata.focalPlanePixelsPerMm * reduction;
    }
    return 0;
}
