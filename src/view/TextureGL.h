#pragma once

#include <string>

#include "view/TextureSize.h"

// The GL calls of bitmap textures behind one small interface, so that the texture rules can
// be checked without a GL context. The real one needs a current context.
class TextureGL {
public:
    virtual ~TextureGL() = default;

    virtual std::string VersionString() = 0;
    virtual std::string ExtensionsString() = 0;
    virtual int MaxTextureSize() = 0;
    // Empties the error queue; true when it held an error.
    virtual bool TakeError() = 0;
    virtual unsigned GenTexture() = 0;
    virtual void DeleteTexture(unsigned name) = 0;
    virtual void BindTexture(unsigned name) = 0;
    // Allocates the bound texture as GL_RGB, contents undefined.
    virtual void AllocateTexture(int width, int height, bool bgr) = 0;
    // Clamped wrapping, nearest magnification, linear minification, decal environment.
    virtual void SetTextureParameters() = 0;
    // Fills the top-left width x height of the bound texture from rows with 4-byte alignment.
    virtual void UploadSubImage(int width, int height, bool bgr, const void* pixels) = 0;
};

// The implementation in use: the real GL unless a test installed another (null restores).
TextureGL& CurrentTextureGL();
void InstallTextureGL(TextureGL* gl);

// The capabilities of the implementation, read through CurrentTextureGL() on first use
// (the caller holds a current context) and kept for the whole process.
const TextureCapabilities& ProcessTextureCapabilities();
// Forgets them, or fixes them for tests; the next ProcessTextureCapabilities() reads again
// unless fixed.
void ResetTextureCapabilities();
void FixTextureCapabilities(const TextureCapabilities& caps);
