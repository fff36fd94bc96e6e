#include "movie/MovieTiles.h"

#include <QBuffer>
#include <QByteArray>
#include <QCoreApplication>
#include <QImage>
#include <QImageWriter>

#include <algorithm>
#include <cstring>

#include "image/ParallelFor.h"
#include "movie/AtomReader.h"
#include "movie/JpegCodec.h"

namespace {

// Copies columns [x0, x0 + th) of the panorama, turned counter-clockwise, into RGB rows of
// panorama.height pixels: stored row r is panorama column x0 + th - 1 - r.
std::vector<uint8_t> TurnedStrip(const ImgRGB& panorama, int x0, int th) {
    const int tw = panorama.height;
    std::vector<uint8_t> strip(size_t(tw) * th * 3);
    // Blocks of source rows keep the column reads within a few cache lines.
    constexpr int kBlock = 32;
    for (int c0 = 0; c0 < tw; c0 += kBlock) {
        const int c1 = std::min(tw, c0 + kBlock);
        for (int r = 0; r < th; ++r) {
            uint8_t* out = strip.data() + (size_t(r) * tw + c0) * 3;
            const int x = x0 + th - 1 - r;
            for (int c = c0; c < c1; ++c, out += 3) {
                const Rgb& p = panorama.Row(c)[x];
                out[0] = p.r;
                out[1] = p.g;
                out[2] = p.b;
            }
        }
    }
    return strip;
}

bool Compress(const std::vector<uint8_t>& strip, int width, int height, VrQuality quality,
              std::vector<uint8_t>* sample) {
    if (quality != VrQuality::Lossless)
        return EncodeJpeg(strip.data(), width, height, width * 3, JpegQualityOf(quality), quality == VrQuality::High,
                          sample);
    QImage tile(strip.data(), width, height, width * 3, QImage::Format_RGB888);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(tile))
        return false;
    sample->assign(bytes.begin(), bytes.end());
    return true;
}

}  // namespace

bool EncodeTiles(const ImgRGB& panorama, int tiles, VrQuality quality, MovieTiles* out, std::string* why,
                 const std::function<void(int)>& tileDone) {
    if (tiles <= 0 || panorama.width < tiles || panorama.width % tiles != 0 || panorama.height <= 0) {
        *why = QCoreApplication::translate("VrMovie", "The panorama cannot be diced into %1 tiles.")
                   .arg(tiles)
                   .toStdString();
        return false;
    }
    const int th = panorama.width / tiles;
    out->codec = quality == VrQuality::Lossless ? kCodecPng : kCodecJpeg;
    out->codecQuality = CodecQualityOf(quality);
    out->tileWidth = panorama.height;
    out->tileHeight = th;
    out->samples.assign(tiles, {});
    std::vector<char> ok(tiles, 0);
    // Compress as many tiles at once as there are cores, then report them in order.
    const int batch = std::max(1, std::min(tiles, 8));
    for (int first = 0; first < tiles; first += batch) {
        int count = std::min(batch, tiles - first);
        ParallelFor(count, [&](int i) {
            int k = first + i;
            std::vector<uint8_t> strip = TurnedStrip(panorama, panorama.width - (k + 1) * th, th);
            ok[k] = Compress(strip, panorama.height, th, quality, &out->samples[k]);
        });
        for (int k = first; k < first + count; ++k) {
            if (!ok[k]) {
                *why = QCoreApplication::translate("VrMovie", "Tile %1 of the movie could not be compressed.")
                           .arg(k + 1)
                           .toStdString();
                return false;
            }
            if (tileDone)
                tileDone(k);
        }
    }
    return true;
}

namespace {

bool DecodeRaw(int depth, std::span<const uint8_t> sample, int width, int height, ImgRGB* out) {
    const int bytesPerPixel = depth == 32 ? 4 : depth == 24 ? 3 : 0;
    if (!bytesPerPixel || sample.size() % height != 0)
        return false;
    const size_t stride = sample.size() / height;
    if (stride < size_t(width) * bytesPerPixel)
        return false;
    // 24-bit rows are red, green, blue; 32-bit rows alpha, red, green, blue.
    const int skip = bytesPerPixel == 4 ? 1 : 0;
    *out = ImgRGB(width, height);
    for (int y = 0; y < height; ++y) {
        const uint8_t* in = sample.data() + y * stride;
        Rgb* row = out->Row(y);
        for (int x = 0; x < width; ++x, in += bytesPerPixel)
            row[x] = Rgb{in[skip + 2], in[skip + 1], in[skip]};
    }
    return true;
}

}  // namespace

bool TileDecodes(uint32_t codec, int depth, std::span<const uint8_t> sample, int width, int height, std::string* why) {
    bool whole = false;
    if (codec == kCodecRaw) {
        const int bytesPerPixel = depth == 32 ? 4 : depth == 24 ? 3 : 0;
        whole = bytesPerPixel && height > 0 && sample.size() % height == 0 &&
                sample.size() / height >= size_t(width) * bytesPerPixel;
    } else if (codec == kCodecJpeg) {
        whole = JpegDecodes(sample.data(), sample.size(), width, height);
    } else if (codec == kCodecPng) {
        // The header's size, and no more pixels than deflate's best ratio (about 1032 to 1)
        // lets the data hold.
        const bool png = sample.size() >= 24 && std::memcmp(sample.data(), "\x89PNG\r\n\x1a\n", 8) == 0;
        auto u32 = [&](size_t at) {
            return uint32_t(sample[at]) << 24 | uint32_t(sample[at + 1]) << 16 | uint32_t(sample[at + 2]) << 8 |
                   sample[at + 3];
        };
        whole = png && u32(16) == uint32_t(width) && u32(20) == uint32_t(height) &&
                uint64_t(sample.size()) * 1032 >= uint64_t(width) * height;
    } else {
        *why = "tiles compressed with '" + FourCCText(codec) + "' cannot be read";
        return false;
    }
    if (!whole)
        *why = "a tile does not decode";
    return whole;
}

bool DecodeTile(uint32_t codec, int depth, std::span<const uint8_t> sample, int width, int height, ImgRGB* out,
                std::string* why) {
    bool decoded = false;
    if (codec == kCodecRaw) {
        decoded = DecodeRaw(depth, sample, width, height, out);
    } else if (codec == kCodecJpeg) {
        decoded = DecodeJpeg(sample.data(), sample.size(), width, height, out);
    } else if (codec == kCodecPng) {
        QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(sample.data()),
                                                   static_cast<qsizetype>(sample.size()));
        QImage image;
        if (image.loadFromData(bytes, "PNG") && image.width() == width && image.height() == height) {
            image = image.convertToFormat(QImage::Format_RGB888);
            *out = ImgRGB(width, height);
            for (int y = 0; y < height; ++y) {
                const uchar* in = image.constScanLine(y);
                Rgb* row = out->Row(y);
                for (int x = 0; x < width; ++x)
                    row[x] = Rgb{in[3 * x + 2], in[3 * x + 1], in[3 * x]};
            }
            decoded = true;
        }
    } else {
        *why = "tiles compressed with '" + FourCCText(codec) + "' cannot be read";
        return false;
    }
    if (!decoded)
        *why = "a tile does not decode";
    return decoded;
}
