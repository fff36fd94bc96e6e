#include "image/ImageFile.h"

#include <QImage>

#include <cstring>

#include <immintrin.h>

namespace {

void PackRowPortable(const uint32_t* in, unsigned char* out, int W) {
    int x = 0;
    // Four pixels pack into three 32-bit words.
    for (; x + 4 <= W; x += 4, out += 12) {
        uint32_t p0 = in[x], p1 = in[x + 1], p2 = in[x + 2], p3 = in[x + 3];
        uint32_t words[3] = {(p0 & 0xFFFFFFu) | (p1 << 24), ((p1 >> 8) & 0xFFFFu) | (p2 << 16),
                             ((p2 >> 16) & 0xFFu) | (p3 << 8)};
        std::memcpy(out, words, sizeof words);
    }
    for (; x < W; ++x, out += 3) {
        uint32_t p = in[x];
        out[0] = static_cast<uint8_t>(p);
        out[1] = static_cast<uint8_t>(p >> 8);
        out[2] = static_cast<uint8_t>(p >> 16);
    }
}

// One byte shuffle drops the alpha byte of four pixels; each 16-byte store overlaps the next
// by four bytes, so the loop stops while a whole further group still fits in the row.
__attribute__((target("ssse3"))) void PackRowShuffle(const uint32_t* in, unsigned char* out, int W) {
    const __m128i drop = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    int x = 0;
    for (; x + 8 <= W; x += 4, out += 12)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                         _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + x)), drop));
    PackRowPortable(in + x, out, W - x);
}

}  // namespace

void CopyQImageInto(const QImage& decoded, ImgRGB& target) {
    const int W = decoded.width(), H = decoded.height();
    static const bool shuffle = __builtin_cpu_supports("ssse3");
    for (int y = 0; y < H; ++y) {
        // Whole scan lines: each 32-bit pixel is 0xAARRGGBB, so its low three bytes in memory
        // order are blue, green, red on this little-endian machine.
        const auto* in = reinterpret_cast<const uint32_t*>(decoded.constScanLine(y));
        auto* out = reinterpret_cast<unsigned char*>(target.Row(y));
        if (shuffle)
            PackRowShuffle(in, out, W);
        else
            PackRowPortable(in, out, W);
    }
}

void CopyQImageGrayInto(const QImage& decoded, ImgFLOAT& target) {
    const int W = decoded.width(), H = decoded.height();
    for (int y = 0; y < H; ++y) {
        const auto* in = reinterpret_cast<const uint32_t*>(decoded.constScanLine(y));
        float* out = target.Row(y);
        int x = 0;
        // Four pixels per step; every channel product stays below 2^16, so 16-bit multiplies
        // on the 32-bit lanes are exact.
        const __m128i byteMask = _mm_set1_epi32(0xFF);
        for (; x + 4 <= W; x += 4) {
            __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + x));
            __m128i blue = _mm_and_si128(p, byteMask);
            __m128i green = _mm_and_si128(_mm_srli_epi32(p, 8), byteMask);
            __m128i red = _mm_and_si128(_mm_srli_epi32(p, 16), byteMask);
            __m128i sum =
                _mm_add_epi32(_mm_add_epi32(_mm_mullo_epi16(blue, _mm_set1_epi32(11)), _mm_slli_epi32(green, 4)),
                              _mm_mullo_epi16(red, _mm_set1_epi32(5)));
            _mm_storeu_ps(out + x, _mm_cvtepi32_ps(_mm_srli_epi32(sum, 5)));
        }
        for (; x < W; ++x) {
            uint32_t p = in[x];
            int blue = p & 0xFF, green = (p >> 8) & 0xFF, red = (p >> 16) & 0xFF;
            out[x] = static_cast<float>((11 * blue + 16 * green + 5 * red) / 32);
        }
    }
}
