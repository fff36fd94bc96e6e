#include "movie/VrMovieReader.h"

#include <QFile>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <new>

#include "image/ParallelFor.h"
#include "movie/AtomReader.h"
#include "movie/MovieFile.h"
#include "movie/MovieTiles.h"
#include "movie/VrMovieLimits.h"

namespace {

constexpr int kMaxTiles = 4096;
constexpr uint32_t kHorizontalFlag = 1;  // pano type 0: the stored image is upright

const MovieTrackInfo* TrackWithHandler(const MovieInfo& movie, uint32_t handler) {
    for (const MovieTrackInfo& t : movie.tracks)
        if (t.handler == handler)
            return &t;
    return nullptr;
}

const MovieTrackInfo* TrackWithId(const MovieInfo& movie, uint32_t id) {
    for (const MovieTrackInfo& t : movie.tracks)
        if (t.id == id)
            return &t;
    return nullptr;
}

std::string StringAtom(const QtAtom& parent, uint32_t id) {
    const QtAtom* s = id ? FindQtChild(parent, FourCC("vrsg"), id) : nullptr;
    if (!s)
        return {};
    ByteCursor c(s->data);
    c.Skip(2);
    uint16_t length = c.U16();
    length = static_cast<uint16_t>(std::min<size_t>(length, c.Remaining()));
    return std::string(reinterpret_cast<const char*>(s->data.data() + c.Position()), length);
}

// The scene name and the node type from the world and the node information.
bool ReadQtvrTrack(const MovieTrackInfo& qtvr, VrMovie* movie, std::string* why) {
    if (qtvr.sampleDescription.size() > 16) {
        QtAtom world;
        if (!ParseQtAtomContainer(qtvr.sampleDescription.subspan(16), &world, why))
            return false;
        if (const QtAtom* header = FindQtChild(world, FourCC("vrsc"))) {
            ByteCursor c(header->data);
            c.Skip(4);
            movie->sceneName = StringAtom(world, c.U32());
        }
    }
    if (qtvr.samples.empty()) {
        *why = "the QTVR track has no node";
        return false;
    }
    QtAtom node;
    if (!ParseQtAtomContainer(qtvr.samples[0], &node, why))
        return false;
    const QtAtom* header = FindQtChild(node, FourCC("ndhd"));
    if (!header) {
        *why = "the node has no header";
        return false;
    }
    ByteCursor c(header->data);
    c.Skip(4);
    uint32_t type = c.U32();
    c.Skip(4);
    uint32_t nameId = c.U32();
    if (c.Failed()) {
        *why = "the node header is cut short";
        return false;
    }
    if (type != FourCC("pano")) {
        *why = type == FourCC("obje") ? "object movies are not supported, only cylindrical panoramas"
                                      : "the node is not a panorama";
        return false;
    }
    movie->nodeName = StringAtom(node, nameId);
    return true;
}

struct PanoramaSample {
    uint32_t imageRef = 0;
    uint32_t sizeX = 0, sizeY = 0, framesX = 0, framesY = 0, flags = 0, type = 0;
};

bool ReadPanoramaSample(const MovieTrackInfo& pano, VrMovie* movie, PanoramaSample* s, std::string* why) {
    QtAtom root;
    if (pano.samples.empty() || !ParseQtAtomContainer(pano.samples[0], &root, why)) {
        if (pano.samples.empty())
            *why = "the panorama track has no sample";
        return false;
    }
    const QtAtom* pdat = FindQtChild(root, FourCC("pdat"));
    if (!pdat) {
        *why = "the panorama track has no panorama sample atom";
        return false;
    }
    ByteCursor c(pdat->data);
    c.Skip(4);
    s->imageRef = c.U32();
    c.Skip(4);
    VrAngles& a = movie->angles;
    for (double* v : {&a.minPan, &a.maxPan, &a.minTilt, &a.maxTilt, &a.minFov, &a.maxFov, &a.defaultPan, &a.defaultTilt,
                      &a.defaultFov})
        *v = c.F32();
    s->sizeX = c.U32();
    s->sizeY = c.U32();
    s->framesX = c.U16();
    s->framesY = c.U16();
    c.Skip(12);
    s->flags = c.U32();
    s->type = c.U32();
    if (c.Failed()) {
        *why = "the panorama sample atom is cut short";
        return false;
    }
    if (s->type == FourCC("cube")) {
        *why = "cube panoramas are not supported, only cylindrical ones";
        return false;
    }
    for (double v :
         {a.minPan, a.maxPan, a.minTilt, a.maxTilt, a.minFov, a.maxFov, a.defaultPan, a.defaultTilt, a.defaultFov}) {
        if (!std::isfinite(v) || std::fabs(v) > 1e4) {
            *why = "the panorama's angles are not valid";
            return false;
        }
    }
    if (!(a.maxPan > a.minPan) || a.maxPan - a.minPan > 360.0 + 1e-3 || !(a.maxTilt > a.minTilt) || a.minTilt < -90 ||
        a.maxTilt > 90) {
        *why = "the panorama's pan or tilt range is not valid";
        return false;
    }
    if (!(a.maxFov > 0) || a.maxFov > 180 || a.minFov > a.maxFov || !(a.minFov > 0))
        a.minFov = std::min(5.0, a.maxTilt - a.minTilt), a.maxFov = a.maxTilt - a.minTilt;
    if (a.defaultFov <= 0)
        a.defaultFov = a.maxFov;
    return true;
}

// The stored image's grid and tile size; an image track reference, not a track of the
// movie's other kinds, is where the tiles are.
bool CheckLayout(const PanoramaSample& s, const MovieTrackInfo& image, VrMovie* movie, std::string* why) {
    movie->framesX = static_cast<int>(s.framesX);
    movie->framesY = static_cast<int>(s.framesY);
    uint64_t tiles = uint64_t(s.framesX) * s.framesY;
    if (tiles == 0 || tiles > kMaxTiles || s.sizeX == 0 || s.sizeY == 0 || s.sizeX % s.framesX != 0 ||
        s.sizeY % s.framesY != 0 || uint64_t(s.sizeX) * s.sizeY > kMaxMoviePanoramaPixels) {
        *why = "the panorama's image size or frame count is not valid";
        return false;
    }
    if (image.samples.size() < tiles) {
        *why = "the image track has fewer frames than the panorama's tiles";
        return false;
    }
    movie->tiles = static_cast<int>(tiles);
    movie->storedWidth = static_cast<int>(s.sizeX);
    movie->storedHeight = static_cast<int>(s.sizeY);
    movie->storedTurned = s.type == FourCC("vcyl") || (s.type != FourCC("hcyl") && !(s.flags & kHorizontalFlag));
    if (image.sampleDescription.size() < 86) {
        *why = "the image track has no image description";
        return false;
    }
    ByteCursor c(image.sampleDescription);
    c.Skip(4);
    movie->codec = c.U32();
    return true;
}

// Decodes every tile into place in the stored image and turns it upright.
bool AssemblePanorama(const MovieTrackInfo& image, VrMovie* movie, std::string* why) {
    const int tw = movie->storedWidth / movie->framesX, th = movie->storedHeight / movie->framesY;
    ByteCursor description(image.sampleDescription);
    description.Skip(82);
    const int depth = description.U16();
    const bool turned = movie->storedTurned;
    std::vector<std::string> errors(movie->tiles);
    // Every tile proves that it holds a whole frame of its size before the panorama's memory is
    // taken: a header may claim any size, the data cannot.
    ParallelFor(movie->tiles, [&](int k) { TileDecodes(movie->codec, depth, image.samples[k], tw, th, &errors[k]); });
    for (int k = 0; k < movie->tiles; ++k)
        if (!errors[k].empty()) {
            *why = errors[k] + " (tile " + std::to_string(k + 1) + ")";
            return false;
        }
    ImgRGB panorama(turned ? movie->storedHeight : movie->storedWidth,
                    turned ? movie->storedWidth : movie->storedHeight);
    ParallelFor(movie->tiles, [&](int k) {
        ImgRGB tile;
        if (!DecodeTile(movie->codec, depth, image.samples[k], tw, th, &tile, &errors[k])) {
            if (errors[k].empty())
                errors[k] = "a tile does not decode";
            return;
        }
        const int x0 = (k % movie->framesX) * tw, y0 = (k / movie->framesX) * th;
        if (!turned) {
            for (int y = 0; y < th; ++y)
                std::copy(tile.Row(y), tile.Row(y) + tw, panorama.Row(y0 + y) + x0);
            return;
        }
        // Stored row r is upright column W - 1 - r, stored column c upright row c. Bands of
        // stored rows keep both the reads and the writes within a few cache lines.
        constexpr int kBand = 16;
        const int W = panorama.width;
        for (int b = 0; b < th; b += kBand) {
            const int rows = std::min(kBand, th - b);
            for (int x = 0; x < tw; ++x) {
                Rgb* out = panorama.Row(x0 + x) + (W - 1 - (y0 + b));
                for (int y = 0; y < rows; ++y)
                    out[-y] = tile.Row(b + y)[x];
            }
        }
    });
    for (int k = 0; k < movie->tiles; ++k) {
        if (!errors[k].empty()) {
            *why = errors[k] + " (tile " + std::to_string(k + 1) + ")";
            return false;
        }
    }
    movie->panorama = std::move(panorama);
    return true;
}

// Walks the file's top-level atoms by their headers alone: each must be one QuickTime knows and
// lie within the file, and one of them must be the movie atom.
bool TopLevelAtomsFit(QFile& file, std::string* why) {
    static const uint32_t kTopLevel[] = {FourCC("moov"), FourCC("mdat"), FourCC("free"), FourCC("skip"), FourCC("wide"),
                                         FourCC("pnot"), FourCC("ftyp"), FourCC("PICT"), FourCC("uuid")};
    const uint64_t size = uint64_t(file.size());
    bool movieAtom = false;
    for (uint64_t at = 0; at < size;) {
        uint8_t header[16];
        if (!file.seek(qint64(at)) || size - at < 8 || file.read(reinterpret_cast<char*>(header), 8) != 8) {
            *why = "the movie is not a QuickTime movie (its atoms are damaged)";
            return false;
        }
        uint64_t length = uint64_t(header[0]) << 24 | uint64_t(header[1]) << 16 | uint64_t(header[2]) << 8 | header[3];
        const uint32_t type =
            uint32_t(header[4]) << 24 | uint32_t(header[5]) << 16 | uint32_t(header[6]) << 8 | header[7];
        if (length == 1) {  // a 64-bit size follows
            if (size - at < 16 || file.read(reinterpret_cast<char*>(header + 8), 8) != 8) {
                *why = "the movie is not a QuickTime movie (its atoms are damaged)";
                return false;
            }
            length = 0;
            for (int k = 8; k < 16; ++k)
                length = length << 8 | header[k];
        } else if (length == 0) {  // the last atom, to the end of the file
            length = size - at;
        }
        if (std::find(std::begin(kTopLevel), std::end(kTopLevel), type) == std::end(kTopLevel)) {
            *why = "the file is not a QuickTime movie";
            return false;
        }
        if (length < 8 || length > size - at) {
            *why = "the movie is not a QuickTime movie (an atom runs past the end of the file)";
            return false;
        }
        movieAtom = movieAtom || type == FourCC("moov");
        at += length;
    }
    if (!movieAtom)
        *why = "the file is not a QuickTime movie (it has no movie atom)";
    return movieAtom;
}

}  // namespace

bool ReadVrMovie(std::span<const uint8_t> data, VrMovie* out, std::string* why) {
    MovieInfo info;
    if (!ReadMovie(data, &info, why))
        return false;
    const MovieTrackInfo* qtvr = TrackWithHandler(info, FourCC("qtvr"));
    if (!qtvr) {
        *why = TrackWithHandler(info, FourCC("pano"))
                   ? "the movie is a QuickTime VR 1.0 panorama, which is not supported"
                   : "the movie is not a QuickTime VR movie (it has no QTVR track)";
        return false;
    }
    const MovieTrackInfo* pano = TrackWithHandler(info, FourCC("pano"));
    if (!pano) {
        *why = TrackWithHandler(info, FourCC("obje")) ? "object movies are not supported, only cylindrical panoramas"
                                                      : "the movie has no panorama track";
        return false;
    }
    VrMovie movie;
    PanoramaSample sample;
    if (!ReadQtvrTrack(*qtvr, &movie, why) || !ReadPanoramaSample(*pano, &movie, &sample, why))
        return false;
    const MovieTrackInfo* image = nullptr;
    if (sample.imageRef >= 1 && sample.imageRef <= pano->imageTrackReferences.size())
        image = TrackWithId(info, pano->imageTrackReferences[sample.imageRef - 1]);
    if (!image || image->handler != FourCC("vide")) {
        *why = "the panorama's image track is missing";
        return false;
    }
    movie.windowWidth = static_cast<int>(std::lround(qtvr->width));
    movie.windowHeight = static_cast<int>(std::lround(qtvr->height));
    if (movie.windowWidth < 16 || movie.windowHeight < 16 || movie.windowWidth > 8192 || movie.windowHeight > 8192) {
        *why = "the movie's window size is not valid";
        return false;
    }
    try {
        if (!CheckLayout(sample, *image, &movie, why) || !AssemblePanorama(*image, &movie, why))
            return false;
    } catch (const std::bad_alloc&) {
        *why = "there is not enough memory for the panorama";
        return false;
    }
    *out = std::move(movie);
    return true;
}

bool ReadVrMovieFile(const std::string& path, VrMovie* movie, std::string* why) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) {
        *why = "the file cannot be opened: " + file.errorString().toStdString();
        return false;
    }
    // The top-level atoms' headers are read first: a file that is not a movie, or whose atoms
    // claim more than it holds, is refused before a byte of its data is read.
    if (!TopLevelAtomsFit(file, why))
        return false;
    if (uint64_t(file.size()) > kMaxMovieFileBytes) {
        *why = "the file is larger than any movie of a panorama this program reads";
        return false;
    }
    file.seek(0);
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        *why = "the file cannot be read: " + file.errorString().toStdString();
        return false;
    }
    return ReadVrMovie(std::span(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())), movie,
                       why);
}
