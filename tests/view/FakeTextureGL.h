#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "view/TextureGL.h"

// A TextureGL that records what the bitmaps ask of GL, for tests without a context. It fails
// every test that hands GL a texture size outside 1 .. the maximum.
class FakeTextureGL : public TextureGL {
public:
    struct Allocation {
        unsigned name;
        int width, height;
        bool bgr;
    };
    struct Upload {
        unsigned name;
        int width, height;
        bool bgr;
        std::vector<uint8_t> bytes;  // rows packed with 4-byte alignment, as GL reads them
    };

    std::string version = "4.5 (Compatibility Profile) Mesa 22.3.6";
    std::string extensions = "GL_ARB_multisample GL_EXT_bgra GL_EXT_blend_color";
    int maxSize = 16384;
    bool failGen = false, failAlloc = false;

    std::vector<Allocation> allocations;
    std::vector<Upload> uploads;
    std::vector<unsigned> deleted;
    std::vector<unsigned> live;
    bool badSize = false;

    std::string VersionString() override { return version; }
    std::string ExtensionsString() override { return extensions; }
    int MaxTextureSize() override { return maxSize; }
    bool TakeError() override {
        const bool e = error;
        error = false;
        return e;
    }
    unsigned GenTexture() override {
        if (failGen) {
            error = true;
            return 0;
        }
        live.push_back(nextName);
        return nextName++;
    }
    void DeleteTexture(unsigned name) override {
        deleted.push_back(name);
        std::erase(live, name);
    }
    void BindTexture(unsigned name) override { bound = name; }
    void AllocateTexture(int width, int height, bool bgr) override {
        const int limit = maxSize > 0 ? maxSize : 64;
        if (width < 1 || height < 1 || width > limit || height > limit)
            badSize = true;
        if (failAlloc)
            error = true;
        allocations.push_back({bound, width, height, bgr});
    }
    void SetTextureParameters() override {}
    void UploadSubImage(int width, int height, bool bgr, const void* pixels) override {
        const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~size_t(3);
        Upload u{bound, width, height, bgr, std::vector<uint8_t>(stride * height)};
        std::memcpy(u.bytes.data(), pixels, u.bytes.size());
        uploads.push_back(std::move(u));
    }

    // Bytes of pixel (x, y) of an upload.
    const uint8_t* PixelOf(const Upload& u, int x, int y) const {
        const size_t stride = (static_cast<size_t>(u.width) * 3 + 3) & ~size_t(3);
        return u.bytes.data() + stride * y + 3 * x;
    }

private:
    unsigned nextName = 1;
    unsigned bound = 0;
    bool error = false;
};

// Installs a fake with given capabilities for one test and restores the real GL after it.
struct FakeTextureGLScope {
    FakeTextureGL fake;
    FakeTextureGLScope(bool bgr, bool arbitrarySizes) {
        InstallTextureGL(&fake);
        FixTextureCapabilities({bgr, arbitrarySizes});
    }
    ~FakeTextureGLScope() {
        InstallTextureGL(nullptr);
        ResetTextureCapabilities();
    }
};
