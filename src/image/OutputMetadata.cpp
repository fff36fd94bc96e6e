#include "image/OutputMetadata.h"

#include <exiv2/exiv2.hpp>

#include <QByteArray>
#include <QColorSpace>

#include <algorithm>
#include <cmath>
#include <exception>
#include <set>

#include "image/ExivSetup.h"

namespace {

// The first directory's tags that still describe the panorama: who made it, when, by what
// camera, and its resolution. Its structure (size, strips, compression) and the thumbnail are
// the writer's own; the directory pointers are made again by the encoder.
bool KeptImageTag(uint16_t tag) {
    static const std::set<uint16_t> kept = {
        0x010e,  // ImageDescription
        0x010f,  // Make
        0x0110,  // Model
        0x011a,  // XResolution
        0x011b,  // YResolution
        0x0128,  // ResolutionUnit
        0x0132,  // DateTime
        0x013b,  // Artist
        0x8298,  // Copyright
    };
    return kept.count(tag) != 0;
}

bool KeptDatum(const Exiv2::Exifdatum& datum) {
    const std::string group = datum.groupName();
    if (group == "Image")
        return KeptImageTag(datum.tag());
    if (group == "Photo")
        // The maker note is a camera's private block, often with its own preview image and with
        // offsets into a file that no longer exists; the interoperability pointer is remade.
        return datum.tag() != 0x927c && datum.tag() != 0xa005;
    return group == "GPSInfo" || group == "Iop";
}

Exiv2::ExifData DecodedExif(const std::string& bytes) {
    Exiv2::ExifData exif;
    if (!bytes.empty())
        Exiv2::ExifParser::decode(exif, reinterpret_cast<const Exiv2::byte*>(bytes.data()),
                                  static_cast<uint32_t>(bytes.size()));
    return exif;
}

std::string EncodedExif(const Exiv2::ExifData& exif) {
    Exiv2::Blob blob;
    Exiv2::ExifParser::encode(blob, Exiv2::littleEndian, exif);
    return std::string(blob.begin(), blob.end());
}

// The reference photograph's EXIF made true of the panorama.
std::string PanoramaExif(const std::string& reference, const PanoramaFacts& facts, std::vector<std::string>& notes) {
    Exiv2::ExifData out;
    try {
        for (const Exiv2::Exifdatum& datum : DecodedExif(reference))
            if (KeptDatum(datum))
                out.add(datum);
    } catch (const std::exception& error) {
        out.clear();
        notes.push_back(std::string("the reference photograph's EXIF could not be carried over (") + error.what() +
                        ")");
    }
    out["Exif.Image.Orientation"] = uint16_t(1);
    out["Exif.Image.Software"] = facts.software;
    out["Exif.Photo.PixelXDimension"] = uint32_t(std::max(facts.width, 0));
    out["Exif.Photo.PixelYDimension"] = uint32_t(std::max(facts.height, 0));
    return EncodedExif(out);
}

std::string Whole(double v) { return std::to_string(static_cast<long long>(std::llround(v))); }

// Photo-sphere XMP: where the image lies on the full equirectangular sphere.
std::string PhotoSphereXmp(const PanoramaFacts& facts, std::vector<std::string>& notes) {
    const PhotoSphereFacts& sphere = *facts.sphere;
    double fullWidth = std::round(2 * M_PI * sphere.pixelsPerRadian);
    const double fullHeight = std::round(M_PI * sphere.pixelsPerRadian);
    // A panorama cropped to one turn is the sphere's width, give or take the rounding of where
    // the turn closes.
    if (facts.width > fullWidth && facts.width <= fullWidth * 1.005 + 1)
        fullWidth = facts.width;
    if (!(sphere.pixelsPerRadian > 0) || facts.width > fullWidth || facts.height > fullHeight) {
        notes.push_back("the panorama is wider or higher than the full sphere: it is written without photo-sphere "
                        "metadata");
        return std::string();
    }
    // The image lies inside the sphere: a left edge beyond it wraps round, a top edge is held
    // within it.
    const double left = std::fmod(std::fmod(std::round(sphere.left), fullWidth) + fullWidth, fullWidth);
    const double top = std::clamp(std::round(sphere.top), 0.0, fullHeight - facts.height);
    Exiv2::XmpData xmp;
    xmp["Xmp.GPano.UsePanoramaViewer"] = "True";
    xmp["Xmp.GPano.ProjectionType"] = "equirectangular";
    xmp["Xmp.GPano.StitchingSoftware"] = facts.software;
    xmp["Xmp.GPano.CroppedAreaImageWidthPixels"] = std::to_string(facts.width);
    xmp["Xmp.GPano.CroppedAreaImageHeightPixels"] = std::to_string(facts.height);
    xmp["Xmp.GPano.FullPanoWidthPixels"] = Whole(fullWidth);
    xmp["Xmp.GPano.FullPanoHeightPixels"] = Whole(fullHeight);
    xmp["Xmp.GPano.CroppedAreaLeftPixels"] = Whole(left);
    xmp["Xmp.GPano.CroppedAreaTopPixels"] = Whole(top);
    xmp["Xmp.GPano.PoseHeadingDegrees"] = std::to_string(sphere.headingDegrees);
    std::string packet;
    if (Exiv2::XmpParser::encode(packet, xmp, Exiv2::XmpParser::useCompactFormat, 0) != 0) {
        notes.push_back("the photo-sphere metadata could not be encoded");
        return std::string();
    }
    return packet;
}

// A profile that no colour management would accept is not passed on: some writers refuse one.
std::string UsableProfile(const std::string& icc, std::vector<std::string>& notes) {
    if (icc.empty())
        return icc;
    if (!QColorSpace::fromIccProfile(QByteArray(icc.data(), static_cast<qsizetype>(icc.size()))).isValid()) {
        notes.push_back("the reference photograph's colour profile is damaged or of a kind not carried over");
        return std::string();
    }
    return icc;
}

}  // namespace

EmbeddedMetadata PanoramaMetadata(const PhotoMetadata& reference, const PanoramaFacts& facts,
                                  std::vector<std::string>* notes) {
    std::vector<std::string> said;
    EmbeddedMetadata out;
    try {
        PrepareExiv2();
        out.exif = PanoramaExif(reference.exif, facts, said);
        if (facts.sphere)
            out.xmp = PhotoSphereXmp(facts, said);
    } catch (const std::exception& error) {
        out = EmbeddedMetadata();
        said.push_back(std::string("the panorama's metadata could not be made (") + error.what() + ")");
    }
    out.icc = UsableProfile(reference.icc, said);
    if (notes)
        notes->insert(notes->end(), said.begin(), said.end());
    return out;
}
