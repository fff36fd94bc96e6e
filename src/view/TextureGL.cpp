#include "view/TextureGL.h"

#include <GL/gl.h>

#ifndef GL_BGR_EXT
#define GL_BGR_EXT 0x80E0
#endif
#ifndef GL_CLAMP
#define GL_CLAMP 0x2900
#endif

namespace {

std::string GlString(GLenum which) {
    const GLubyte* s = glGetString(which);
    return s ? reinterpret_cast<const char*>(s) : std::string();
}

class RealTextureGL : public TextureGL {
public:
    std::string VersionString() override { return GlString(GL_VERSION); }
    std::string ExtensionsString() override { return GlString(GL_EXTENSIONS); }
    int MaxTextureSize() override {
        GLint size = 0;
        glGetIntegerv(GL_MAX_TEXTURE_SIZE, &size);
        return size;
    }
    bool TakeError() override {
        bool any = false;
        // The queue may hold several flags; a lost context keeps reporting, so stop early.
        for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i)
            any = true;
        return any;
    }
    unsigned GenTexture() override {
        GLuint name = 0;
        glGenTextures(1, &name);
        return name;
    }
    void DeleteTexture(unsigned name) override {
        GLuint n = name;
        glDeleteTextures(1, &n);
    }
    void BindTexture(unsigned name) override { glBindTexture(GL_TEXTURE_2D, name); }
    void AllocateTexture(int width, int height, bool bgr) override {
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, width, height, 0, bgr ? GL_BGR_EXT : GL_RGB, GL_UNSIGNED_BYTE, nullptr);
    }
    void SetTextureParameters() override {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_DECAL);
    }
    void UploadSubImage(int width, int height, bool bgr, const void* pixels) override {
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, bgr ? GL_BGR_EXT : GL_RGB, GL_UNSIGNED_BYTE, pixels);
    }
};

TextureGL* installed = nullptr;

struct CapabilityState {
    TextureCapabilities caps;
    bool known = false;
};

CapabilityState& State() {
    static CapabilityState state;
    return state;
}

}  // namespace

TextureGL& CurrentTextureGL() {
    static RealTextureGL real;
    return installed ? *installed : real;
}

void InstallTextureGL(TextureGL* gl) { installed = gl; }

const TextureCapabilities& ProcessTextureCapabilities() {
    CapabilityState& s = State();
    if (!s.known) {
        TextureGL& gl = CurrentTextureGL();
        const std::string version = gl.VersionString(), extensions = gl.ExtensionsString();
        s.caps.arbitrarySizes = SupportsArbitraryTextureSizes(version.c_str());
        s.caps.bgrUpload = SupportsBgrUpload(extensions.c_str(), version.c_str());
        // Without a current context there is no version to read: ask again next time.
        s.known = !version.empty();
    }
    return s.caps;
}

void ResetTextureCapabilities() { State() = CapabilityState{}; }

void FixTextureCapabilities(const TextureCapabilities& caps) {
    State().caps = caps;
    State().known = true;
}
