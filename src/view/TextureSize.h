#pragma once

// The size rules of bitmap textures, free of any GL call so that they can be checked anywhere.

// What the GL implementation offers, found once per process with a current context.
struct TextureCapabilities {
    bool bgrUpload = false;       // pixels may be handed over blue first
    bool arbitrarySizes = false;  // sizes need not be powers of two
};

// OpenGL 2.0 and later take textures of any size; the version string starts with
// "major.minor" (an "OpenGL ES " prefix is skipped).
bool SupportsArbitraryTextureSizes(const char* glVersion);
// Blue-first upload: the EXT_bgra extension, or OpenGL 1.2 and later where it is core.
bool SupportsBgrUpload(const char* glExtensions, const char* glVersion);

// Where an image goes in its texture. An empty layout (all 0) means no texture at all.
struct TextureLayout {
    int textureWidth = 0, textureHeight = 0;
    // The part of the texture that the image (or its reduced copy) covers.
    int contentWidth = 0, contentHeight = 0;
    // The image is larger than the texture and is resampled into the content.
    bool scaled = false;
    bool IsEmpty() const { return textureWidth <= 0 || textureHeight <= 0; }
};

// The texture for an image of imageWidth x imageHeight: the limit is the GL maximum, or the
// bitmap's own limit when that is set (> 0) and smaller. With arbitrary sizes each side is
// min(limit, image side); otherwise the side is the next power of two, halved while it
// exceeds the limit. A limit below 1 is taken as 64, the least any GL must offer.
TextureLayout ComputeTextureLayout(int imageWidth, int imageHeight, int glMaxTextureSize, int bitmapLimit,
                                   bool arbitrarySizes);
