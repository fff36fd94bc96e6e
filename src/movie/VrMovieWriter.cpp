#include "movie/VrMovieWriter.h"

#include <QCoreApplication>

#include "image/PartialFile.h"
#include "movie/AtomReader.h"
#include "movie/AtomWriter.h"
#include "movie/MovieFile.h"
#include "movie/PanoramaScaling.h"
#include "movie/VrMovieLimits.h"

namespace {

constexpr uint16_t kVrMajorVersion = 2, kVrMinorVersion = 0;
constexpr uint32_t kNodeId = 1;
// Imaging modes and corrections of the panorama-imaging atoms.
constexpr uint32_t kStaticMode = 1, kMotionMode = 2;
constexpr uint32_t kPartialCorrection = 1, kFullCorrection = 2;
constexpr uint32_t kValidCorrectionQualityDirectDraw = 0x7;
// Location flag: the node is in this file.
constexpr uint32_t kSameFile = 1;
// Each tile lasts a tenth of a second; the node's samples span all tiles.
constexpr uint32_t kTileDuration = kMovieTimeScale / 10;

std::string CompressorName(uint32_t codec) { return codec == kCodecPng ? "PNG" : "Photo - JPEG"; }

void WriteString(AtomWriter& w, uint32_t id, const std::string& text) {
    size_t atom = w.BeginQt("vrsg", id, 0);
    w.U16(1);  // string usage
    w.U16(static_cast<uint16_t>(text.size()));
    w.Bytes(text.data(), text.size());
    w.EndQt(atom);
}

void WriteImaging(AtomWriter& w, uint32_t id, uint32_t mode, uint32_t correction, uint32_t quality) {
    size_t impn = w.BeginQt("impn", id, 0);
    w.U16(kVrMajorVersion);
    w.U16(kVrMinorVersion);
    w.U32(mode);
    w.U32(kValidCorrectionQualityDirectDraw);
    w.U32(correction);
    w.U32(quality);
    w.U32(1);  // direct draw
    w.Zeros(6 * 4 + 2 * 4);
    w.EndQt(impn);
}

// The VR world: scene header and name, the imaging defaults (full correction when still, partial
// while moving) and the list of nodes (one panorama in this file).
std::vector<uint8_t> VrWorld(const VrMovieDescription& d) {
    AtomWriter w;
    w.QtContainerHeader();
    size_t root = w.BeginQt("sean", 1, 4);
    size_t vrsc = w.BeginQt("vrsc", 1, 0);
    w.U16(kVrMajorVersion);
    w.U16(kVrMinorVersion);
    w.U32(1);  // name atom ID
    w.U32(kNodeId);
    w.U32(0);  // world flags
    w.Zeros(8);
    w.EndQt(vrsc);
    WriteString(w, 1, d.sceneName);
    size_t imgp = w.BeginQt("imgp", 1, 2);
    WriteImaging(w, 1, kStaticMode, kFullCorrection, 0x300);
    WriteImaging(w, 2, kMotionMode, kPartialCorrection, 0x200);
    w.EndQt(imgp);
    size_t vrnp = w.BeginQt("vrnp", 1, 1);
    size_t vrni = w.BeginQt("vrni", kNodeId, 1);
    size_t nloc = w.BeginQt("nloc", 1, 0);
    w.U16(kVrMajorVersion);
    w.U16(kVrMinorVersion);
    w.FourCC("pano");
    w.U32(kSameFile);
    w.U32(0);  // location data
    w.Zeros(8);
    w.EndQt(nloc);
    w.EndQt(vrni);
    w.EndQt(vrnp);
    w.EndQt(root);
    return w.Take();
}

std::vector<uint8_t> QtvrSampleDescription(const VrMovieDescription& d) {
    AtomWriter w;
    w.U32(0);
    w.FourCC("qtvr");
    w.U32(0);
    w.U16(0);
    w.U16(1);  // data reference index: the samples are in this file
    std::vector<uint8_t> world = VrWorld(d);
    w.Bytes(world.data(), world.size());
    w.PatchU32(0, static_cast<uint32_t>(w.Size()));
    return w.Take();
}

std::vector<uint8_t> NodeInformation(const VrMovieDescription& d) {
    AtomWriter w;
    w.QtContainerHeader();
    size_t root = w.BeginQt("sean", 1, 2);
    size_t ndhd = w.BeginQt("ndhd", 1, 0);
    w.U16(kVrMajorVersion);
    w.U16(kVrMinorVersion);
    w.FourCC("pano");
    w.U32(kNodeId);
    w.U32(1);  // name atom ID
    w.U32(0);  // no comment
    w.Zeros(8);
    w.EndQt(ndhd);
    WriteString(w, 1, d.nodeName);
    w.EndQt(root);
    return w.Take();
}

// The panorama sample atom. The stored image is the panorama turned counter-clockwise, so its
// width is the panorama's height and it is diced into one column of frames. Pano type 0 with
// flags 0 declares exactly that layout.
std::vector<uint8_t> PanoramaSample(const MovieTiles& tiles, const VrMovieDescription& d) {
    const VrAngles& a = d.angles;
    AtomWriter w;
    w.QtContainerHeader();
    size_t root = w.BeginQt("sean", 1, 1);
    size_t pdat = w.BeginQt("pdat", 1, 0);
    w.U16(kVrMajorVersion);
    w.U16(kVrMinorVersion);
    w.U32(1);  // image track: the first 'imgt' reference
    w.U32(0);  // no hot spot track
    for (double v :
         {a.minPan, a.maxPan, a.minTilt, a.maxTilt, a.minFov, a.maxFov, a.defaultPan, a.defaultTilt, a.defaultFov})
        w.F32(static_cast<float>(v));
    w.U32(static_cast<uint32_t>(d.panoramaHeight));
    w.U32(static_cast<uint32_t>(d.panoramaWidth));
    w.U16(1);
    w.U16(static_cast<uint16_t>(tiles.samples.size()));
    w.Zeros(4 + 4 + 2 + 2);  // hot spot image size and frames
    w.U32(0);                // flags
    w.U32(0);                // pano type
    w.U32(0);
    w.EndQt(pdat);
    w.EndQt(root);
    return w.Take();
}

MovieTrackSpec ImageTrack(const MovieTiles& tiles, uint32_t id, bool enabled) {
    MovieTrackSpec t;
    t.id = id;
    t.handlerName = "Video Media Handler";
    t.enabled = enabled;
    t.width = tiles.tileWidth;
    t.height = tiles.tileHeight;
    t.sampleDescription = VideoSampleDescription(tiles.codec, tiles.tileWidth, tiles.tileHeight, tiles.codecQuality,
                                                 CompressorName(tiles.codec));
    t.sampleDuration = kTileDuration;
    t.samples = tiles.samples;
    return t;
}

}  // namespace

std::vector<uint8_t> BuildTileMovie(const MovieTiles& tiles) {
    return BuildMovieFile({ImageTrack(tiles, 1, true)}, false);
}

bool ReadTileMovie(std::span<const uint8_t> data, MovieTiles* tiles, std::string* why) {
    MovieInfo movie;
    if (!ReadMovie(data, &movie, why))
        return false;
    for (const MovieTrackInfo& t : movie.tracks) {
        if (t.handler != FourCC("vide") || t.sampleDescription.size() < 86)
            continue;
        ByteCursor c(t.sampleDescription);
        c.Skip(4);
        tiles->codec = c.U32();
        c.Skip(6 + 2 + 2 + 2 + 4 + 4);
        tiles->codecQuality = static_cast<int>(c.U32());
        tiles->tileWidth = c.U16();
        tiles->tileHeight = c.U16();
        tiles->samples.clear();
        for (auto sample : t.samples)
            tiles->samples.emplace_back(sample.begin(), sample.end());
        return true;
    }
    *why = "the tile movie has no video track";
    return false;
}

std::vector<uint8_t> BuildVrMovie(const MovieTiles& tiles, const VrMovieDescription& d) {
    const uint32_t nodeDuration = kTileDuration * static_cast<uint32_t>(tiles.samples.size());
    MovieTrackSpec qtvr;
    qtvr.id = 1;
    std::copy_n("qtvr", 5, qtvr.handler);
    qtvr.handlerName = "QuickTime VR Media Handler";
    qtvr.width = d.windowWidth;
    qtvr.height = d.windowHeight;
    qtvr.sampleDescription = QtvrSampleDescription(d);
    qtvr.sampleDuration = nodeDuration;
    qtvr.samples = {NodeInformation(d)};

    MovieTrackSpec pano;
    pano.id = 2;
    std::copy_n("pano", 5, pano.handler);
    pano.handlerName = "Panorama Media Handler";
    pano.enabled = false;
    // Panorama samples have no description of their own; QuickTime wants a placeholder.
    AtomWriter placeholder;
    placeholder.U32(16);
    placeholder.FourCC("pano");
    placeholder.Zeros(6);
    placeholder.U16(1);
    pano.sampleDescription = placeholder.Take();
    pano.sampleDuration = nodeDuration;
    pano.samples = {PanoramaSample(tiles, d)};
    pano.imageTrackReference = 3;

    return BuildMovieFile({qtvr, pano, ImageTrack(tiles, 3, false)}, true);
}

std::string MovieSizeProblem(int64_t width, int64_t height) {
    if (width <= 0 || height <= 0 || uint64_t(width) * uint64_t(height) <= kMaxMoviePanoramaPixels)
        return std::string();
    return QCoreApplication::translate("VrMovie",
                                       "a panorama of %1 x %2 pixels is larger than a movie holds (at most %3 "
                                       "megapixels); choose a smaller size")
        .arg(width)
        .arg(height)
        .arg(kMaxMoviePanoramaPixels / 1000000)
        .toStdString();
}

bool WriteMovieFile(const std::string& path, std::span<const uint8_t> bytes, std::string* why) {
    PartialFile file;
    std::string reason;
    if (file.Create(path, &reason) && file.Append(bytes.data(), bytes.size(), &reason) && file.Commit({}, &reason))
        return true;
    *why = QCoreApplication::translate("VrMovie", "The movie %1 could not be written: %2")
               .arg(QString::fromStdString(path), QString::fromStdString(reason))
               .toStdString();
    return false;
}

bool WriteVrMovie(const ImgRGB& panorama, const VrMovieSettings& settings, const std::string& path, std::string* why) {
    if (!ValidateVrMovieSettings(settings, why))
        return false;
    *why = MovieSizeProblem(panorama.width, panorama.height);
    if (!why->empty())
        return false;
    // A panorama of the right width is diced as it is, without a copy.
    ImgRGB scaled;
    const ImgRGB* fitted = &panorama;
    if (!panorama.HasPixels() || TiledWidth(panorama.width, settings.tiles) != panorama.width) {
        if (!FitPanoramaToTiles(panorama, settings.tiles, &scaled, why))
            return false;
        fitted = &scaled;
    }
    MovieTiles tiles;
    if (!EncodeTiles(*fitted, settings.tiles, settings.quality, &tiles, why))
        return false;
    VrMovieDescription d;
    d.panoramaWidth = fitted->width;
    d.panoramaHeight = fitted->height;
    d.angles =
        AnglesForPanorama(fitted->width, fitted->height, settings.angle, settings.windowWidth, settings.windowHeight);
    d.windowWidth = settings.windowWidth;
    d.windowHeight = settings.windowHeight;
    std::vector<uint8_t> movie = BuildVrMovie(tiles, d);
    return WriteMovieFile(path, movie, why);
}
