// Writes the fuzz targets' seed corpora with the project's own writers:
//     vedora_fuzz_seeds <folder>    (the repository keeps them in tests/fuzz/corpus)
// Each target gets a handful of small, valid inputs of the kinds it reads.
#include <QByteArray>
#include <QFile>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <QColorSpace>
#include <exiv2/exiv2.hpp>

#include "image/ImageFile.h"
#include "image/ImgTypes.h"
#include "image/OutputMetadata.h"
#include "image/RowImageWriter.h"
#include "support/HandMadeGif.h"
#include "xml/XmlDocument.h"

using namespace Zelvo;
namespace fs = std::filesystem;

namespace {

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void ProjectLike(XmlDocument& doc) {
    doc.Reset("VedoraProject");
    XmlElement* root = doc.Root();
    root->Attribute("version", true)->SetInt(1);
    XmlElement* panorama = root->FindChild("Panorama", true);
    panorama->Attribute("projectionType", true)->Set("spherical");
    panorama->Attribute("fit", true)->SetDouble(0.5);
    XmlElement* images = root->FindChild("Images", true);
    for (const char* path : {"a&gt.jpg", "C:/f\xC3\xB6to/1.jpg", "it's \"quoted\" <odd>.jpg"}) {
        auto* image = new XmlElement("Image");
        images->AppendChild(image);
        image->Attribute("path", true)->Set(path);
        image->Attribute("rotation", true)->SetInt(1);
    }
    images->SetTail("\ntext a<b & c>d");
}

void EveryNodeKind(XmlDocument& doc) {
    doc.Clear();
    doc.AppendTopLevel(new XmlDoctype(" Vedora"));
    doc.AppendTopLevel(new XmlComment(" settings "));
    auto* root = new XmlElement("Vedora");
    doc.AppendTopLevel(root);
    root->SetText("\n\tLF and CRLF\r\n");
    root->AppendChild(new XmlCData("raw <b>&amp</b>"));
    root->AppendChild(new XmlInstruction("app", "mode=\"x\""));
    root->AddAttribute(XmlAttribute("single", "q\"'<>&", '\''));
    root->SetTail("after the root");
    doc.AppendTopLevel(new XmlComment(" trailing "));
}

void Nested(XmlDocument& doc, int depth) {
    doc.Reset("a");
    XmlNode* inner = doc.Root();
    for (int i = 1; i < depth; ++i) {
        auto* child = new XmlElement(i % 2 ? "b" : "a");
        child->Attribute("i", true)->SetInt(i);
        inner->AppendChild(child);
        inner = child;
    }
}

void XmlSeeds(const fs::path& parse, const fs::path& load) {
    fs::create_directories(parse);
    fs::create_directories(load);
    XmlDocument doc;
    auto both = [&](const std::string& name) {
        Chars text = Serialise(doc);
        WriteBytes(parse / name, std::string(text.Data(), static_cast<size_t>(text.Length())));
        SaveWithChecksum(doc, (load / name).c_str());
    };
    doc.Reset("r");
    both("smallest");
    ProjectLike(doc);
    both("project");
    EveryNodeKind(doc);
    both("node-kinds");
    Nested(doc, 40);
    both("nested");
}

template <class Image>
void RawSeed(const fs::path& folder, const char* name, int w, int h) {
    Image image(w, h);
    for (size_t i = 0; i < image.ByteCount(); ++i)
        image.pixels[i] = static_cast<unsigned char>(i * 37 + 11);
    image.Save((folder / name).c_str());
}

void RawSeeds(const fs::path& folder) {
    fs::create_directories(folder);
    RawSeed<ImgUCHAR>(folder, "uchar-5x3", 5, 3);
    RawSeed<ImgINT>(folder, "int-2x2", 2, 2);
    RawSeed<ImgFLOAT>(folder, "float-3x2", 3, 2);
    RawSeed<ImgDOUBLE>(folder, "double-1x1", 1, 1);
    RawSeed<ImgRGB>(folder, "rgb-3x3", 3, 3);
    RawSeed<ImgRGBA>(folder, "rgba-2x1", 2, 1);
    RawSeed<ImgRGBSHORT>(folder, "rgbshort-2x2", 2, 2);
    RawSeed<ImgCPXFLOAT>(folder, "cpxfloat-1x2", 1, 2);
}

// The fuzz target reads the suffix choice and the orientation from the first byte.
void ImageSeed(const fs::path& folder, const ImgRGB& card, const char* suffix, int suffixIndex) {
    fs::path file = folder / (std::string("card") + suffix);
    if (!SaveImageFile(card, file.c_str()))
        return;
    std::string bytes = ReadBytes(file);
    fs::remove(file);
    WriteBytes(folder / (std::string("card-") + (suffix + 1)), std::string(1, static_cast<char>(suffixIndex)) + bytes);
}

void ImageSeeds(const fs::path& folder) {
    fs::create_directories(folder);
    ImgRGB card(6, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            card.At(x, y) = Rgb{static_cast<uint8_t>(x * 40), static_cast<uint8_t>(y * 60), 128};
    ImageSeed(folder, card, ".jpg", 1);
    ImageSeed(folder, card, ".png", 2);
    ImageSeed(folder, card, ".bmp", 4);
    ImageSeed(folder, card, ".tif", 5);
    // Qt has no GIF writer; the tests' hand-made GIFs stand in, one whose header and decoder
    // disagree about its size and one plain.
    WriteBytes(folder / "wide-screen-gif", "\x03" + HandMadeGif(2010, 1, 0, 0, 1, 1).toStdString());
    WriteBytes(folder / "plain-gif", "\x03" + HandMadeGif(6, 5, 1, 1, 2, 2).toStdString());
    // A JPEG under a name whose suffix names another format: the content decides.
    fs::path misnamed = folder / "misnamed.xpm";
    if (SaveImageFile(card, misnamed.c_str()))
        WriteBytes(folder / "jpeg-named-xpm", "\x07" + ReadBytes(misnamed));
    fs::remove(misnamed);
}

// Photographs with a camera's EXIF, written as each format carries it, and one with a colour
// profile and photo-sphere XMP as Vedora's own panoramas have them.
void MetadataSeeds(const fs::path& folder) {
    fs::create_directories(folder);
    Exiv2::ExifData exif;
    exif["Exif.Image.Make"] = "SeedCam";
    exif["Exif.Image.Orientation"] = uint16_t(6);
    exif["Exif.Photo.FocalLength"] = Exiv2::Rational(24, 1);
    exif["Exif.Photo.FocalPlaneXResolution"] = Exiv2::Rational(5080, 1);
    exif["Exif.Photo.FocalLengthIn35mmFilm"] = uint16_t(35);
    exif["Exif.Photo.ExposureTime"] = Exiv2::Rational(1, 250);
    exif["Exif.GPSInfo.GPSLatitude"] = "47/1 30/1 0/1";
    exif["Exif.GPSInfo.GPSImgDirection"] = Exiv2::Rational(120, 1);
    Exiv2::Blob blob;
    Exiv2::ExifParser::encode(blob, Exiv2::littleEndian, exif);
    PhotoMetadata photo;
    photo.exif.assign(blob.begin(), blob.end());
    photo.icc = QColorSpace(QColorSpace::AdobeRgb).iccProfile().toStdString();
    PanoramaFacts facts{4, 3, "Vedora", PhotoSphereFacts{300, 10, 20, 120}};
    const EmbeddedMetadata metadata = PanoramaMetadata(photo, facts, nullptr);
    const struct {
        const char* suffix;
        int selector;
    } formats[] = {{".jpg", 1}, {".png", 2}, {".tif", 5}};
    for (const auto& format : formats) {
        const fs::path file = folder / (std::string("seed") + format.suffix);
        RowWriterOptions options;
        options.metadata = metadata;
        std::string why;
        auto writer = RowImageWriter::Open(file.string(), 4, 3, options, &why);
        const Rgb rows[12] = {};
        if (!writer || !writer->WriteRows(rows, 3, 4 * sizeof(Rgb)) || !writer->Finish([] { return true; }, &why))
            continue;
        WriteBytes(folder / (std::string("exif-") + (format.suffix + 1)),
                   std::string(1, static_cast<char>(format.selector)) + ReadBytes(file));
        fs::remove(file);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 2;
    }
    fs::path corpus = argv[1];
    XmlSeeds(corpus / "fuzz_xml_parse", corpus / "fuzz_checksum_load");
    RawSeeds(corpus / "fuzz_raw_image");
    ImageSeeds(corpus / "fuzz_image_file");
    MetadataSeeds(corpus / "fuzz_photo_metadata");
    return 0;
}
