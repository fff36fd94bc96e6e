#include "image/ImageDataComplete.h"

#include <cstdint>
#include <cstdlib>

namespace {

uint32_t U16(const QByteArray& b, qsizetype at) { return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8; }

uint32_t U32(const QByteArray& b, qsizetype at) { return U16(b, at) | U16(b, at + 2) << 16; }

constexpr uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kAlphaBitFields = 6;

}  // namespace

bool BmpDataComplete(const QByteArray& bytes) {
    if (bytes.size() < 26 || bytes[0] != 'B' || bytes[1] != 'M')
        return true;  // not BMP, or too short to be anything: the decoder refuses it
    const qint64 pixelsAt = U32(bytes, 10);
    const uint32_t header = U32(bytes, 14);
    qint64 width = 0, height = 0, bits = 0;
    uint32_t compression = kRgb, imageBytes = 0;
    if (header == 12) {  // the old core header: 16-bit sizes, never compressed
        width = U16(bytes, 18);
        height = U16(bytes, 20);
        bits = bytes.size() >= 26 ? U16(bytes, 24) : 0;
    } else if (header >= 40 && bytes.size() >= 38) {
        width = static_cast<int32_t>(U32(bytes, 18));
        height = std::llabs(static_cast<int32_t>(U32(bytes, 22)));
        bits = U16(bytes, 28);
        compression = U32(bytes, 30);
        imageBytes = U32(bytes, 34);
    } else {
        return true;
    }
    if (compression == kRgb || compression == kBitFields || compression == kAlphaBitFields) {
        if (width <= 0 || bits <= 0)
            return true;
        const qint64 rowBytes = (width * bits + 31) / 32 * 4;
        return pixelsAt + rowBytes * height <= bytes.size();
    }
    if ((compression == kRle8 || compression == kRle4) && imageBytes > 0)
        return pixelsAt + qint64(imageBytes) <= bytes.size();
    return true;
}

bool GifDataComplete(const QByteArray& bytes) {
    if (bytes.size() < 6 || !bytes.startsWith("GIF8"))
        return true;
    const qsizetype n = bytes.size();
    qsizetype at = 6;
    if (at + 7 > n)
        return false;
    const uint8_t screenFlags = uint8_t(bytes[at + 4]);
    at += 7;
    if (screenFlags & 0x80)
        at += 3 * (qsizetype(1) << ((screenFlags & 7) + 1));
    // Sub-blocks: a length byte and that many bytes, until a length of 0.
    auto skipSubBlocks = [&]() -> bool {
        while (at < n) {
            const uint8_t length = uint8_t(bytes[at++]);
            if (length == 0)
                return true;
            at += length;
        }
        return false;
    };
    while (at < n) {
        const uint8_t introducer = uint8_t(bytes[at++]);
        if (introducer == 0x21) {  // an extension: its label, then sub-blocks
            if (at >= n)
                return false;
            ++at;
            if (!skipSubBlocks())
                return false;
        } else if (introducer == 0x2C) {  // the first image: its descriptor, colours and data
            if (at + 9 > n)
                return false;
            const uint8_t imageFlags = uint8_t(bytes[at + 8]);
            at += 9;
            if (imageFlags & 0x80)
                at += 3 * (qsizetype(1) << ((imageFlags & 7) + 1));
            if (at >= n)
                return false;
            ++at;  // the LZW minimum code size
            return skipSubBlocks();
        } else {
            return true;  // the trailer, or something the decoder judges itself
        }
    }
    return false;
}
