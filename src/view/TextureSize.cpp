#include "view/TextureSize.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

// The major and minor number at the start of a GL version string; false when there is none.
bool ParseVersion(const char* text, int* major, int* minor) {
    if (!text)
        return false;
    const char* es = "OpenGL ES ";
    if (std::strncmp(text, es, std::strlen(es)) == 0)
        text += std::strlen(es);
    while (*text && !std::isdigit(static_cast<unsigned char>(*text)))
        ++text;
    if (!std::isdigit(static_cast<unsigned char>(*text)))
        return false;
    long ma = 0, mi = 0;
    while (std::isdigit(static_cast<unsigned char>(*text)) && ma < 1000)
        ma = ma * 10 + (*text++ - '0');
    if (*text == '.')
        ++text;
    while (std::isdigit(static_cast<unsigned char>(*text)) && mi < 1000)
        mi = mi * 10 + (*text++ - '0');
    *major = static_cast<int>(ma);
    *minor = static_cast<int>(mi);
    return true;
}

long long PowerOfTwoSide(long long side, long long limit) {
    long long p = 1;
    while (p < side)
        p <<= 1;
    while (p > limit)
        p >>= 1;
    return p;
}

}  // namespace

bool SupportsArbitraryTextureSizes(const char* glVersion) {
    int major = 0, minor = 0;
    return ParseVersion(glVersion, &major, &minor) && major >= 2;
}

bool SupportsBgrUpload(const char* glExtensions, const char* glVersion) {
    if (glExtensions && std::strstr(glExtensions, "EXT_bgra"))
        return true;
    int major = 0, minor = 0;
    return ParseVersion(glVersion, &major, &minor) && (major > 1 || (major == 1 && minor >= 2));
}

TextureLayout ComputeTextureLayout(int imageWidth, int imageHeight, int glMaxTextureSize, int bitmapLimit,
                                   bool arbitrarySizes) {
    TextureLayout t;
    if (imageWidth <= 0 || imageHeight <= 0)
        return t;
    long long limit = glMaxTextureSize > 0 ? glMaxTextureSize : 64;
    if (bitmapLimit > 0 && bitmapLimit < limit)
        limit = bitmapLimit;
    if (arbitrarySizes) {
        t.textureWidth = static_cast<int>(std::min<long long>(limit, imageWidth));
        t.textureHeight = static_cast<int>(std::min<long long>(limit, imageHeight));
    } else {
        t.textureWidth = static_cast<int>(PowerOfTwoSide(imageWidth, limit));
        t.textureHeight = static_cast<int>(PowerOfTwoSide(imageHeight, limit));
    }
    t.contentWidth = imageWidth;
    t.contentHeight = imageHeight;
    if (t.textureWidth < imageWidth || t.textureHeight < imageHeight) {
        // The whole texture takes the reduced image, also along a side that would have fit.
        t.contentWidth = t.textureWidth;
        t.contentHeight = t.textureHeight;
        t.scaled = true;
    }
    return t;
}
