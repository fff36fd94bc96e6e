#include <gtest/gtest.h>

#include <cstring>

#include "FakeTextureGL.h"
#include "view/GuiBitmap.h"
#include "view/GuiMgr.h"
#include "view/TextureGL.h"
#include "view/TextureSize.h"

namespace {

void Fill(ImgRGB& img, int w, int h, Rgb (*colour)(int x, int y)) {
    img.Resize(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.At(x, y) = colour(x, y);
}

}  // namespace

TEST(TextureSize, RulesForBothKindsOfGL) {
    // GL 2 and later: each side min(limit, image side), resampled when smaller.
    TextureLayout t = ComputeTextureLayout(3000, 2000, 16384, 2048, true);
    EXPECT_EQ(t.textureWidth, 2048);
    EXPECT_EQ(t.textureHeight, 2000);
    EXPECT_EQ(t.contentWidth, 2048);
    EXPECT_EQ(t.contentHeight, 2000);
    EXPECT_TRUE(t.scaled);
    // GL 1.x: powers of two; 4096 halved once, 2048 kept, and the image resampled to it.
    t = ComputeTextureLayout(3000, 2000, 16384, 2048, false);
    EXPECT_EQ(t.textureWidth, 2048);
    EXPECT_EQ(t.textureHeight, 2048);
    EXPECT_EQ(t.contentWidth, 2048);
    EXPECT_EQ(t.contentHeight, 2048);
    EXPECT_TRUE(t.scaled);
    // A small image fits a power-of-two texture unscaled; the texture matrix shows the content.
    t = ComputeTextureLayout(500, 400, 16384, 0, false);
    EXPECT_EQ(t.textureWidth, 512);
    EXPECT_EQ(t.textureHeight, 512);
    EXPECT_EQ(t.contentWidth, 500);
    EXPECT_EQ(t.contentHeight, 400);
    EXPECT_FALSE(t.scaled);
    EXPECT_DOUBLE_EQ(double(t.contentWidth) / t.textureWidth, 500.0 / 512);
    EXPECT_DOUBLE_EQ(double(t.contentHeight) / t.textureHeight, 400.0 / 512);
    // The GL maximum wins over a larger bitmap limit.
    t = ComputeTextureLayout(5000, 100, 4096, 8192, true);
    EXPECT_EQ(t.textureWidth, 4096);
    // Absurd sizes stay within what GL takes; an empty image gets no texture.
    t = ComputeTextureLayout(40000, 40000, 16384, 0, true);
    EXPECT_EQ(t.textureWidth, 16384);
    EXPECT_EQ(t.textureHeight, 16384);
    t = ComputeTextureLayout(40000, 40000, 16384, 0, false);
    EXPECT_EQ(t.textureWidth, 16384);
    t = ComputeTextureLayout(2000000000, 3, 16384, 0, false);
    EXPECT_EQ(t.textureWidth, 16384);
    EXPECT_EQ(t.textureHeight, 4);
    EXPECT_TRUE(ComputeTextureLayout(0, 0, 16384, 0, true).IsEmpty());
    EXPECT_TRUE(ComputeTextureLayout(100, 0, 16384, 0, false).IsEmpty());
    EXPECT_TRUE(ComputeTextureLayout(-5, 10, 16384, 0, true).IsEmpty());
    // A GL that reports no maximum is held to the least any GL offers.
    t = ComputeTextureLayout(300, 200, 0, 0, true);
    EXPECT_EQ(t.textureWidth, 64);
    EXPECT_EQ(t.textureHeight, 64);
}

TEST(TextureSize, CapabilitiesFromTheGLStrings) {
    // Any size from OpenGL 2.0 on: 3.x and 4.x included, not only strings starting "2.".
    EXPECT_TRUE(SupportsArbitraryTextureSizes("2.1 Mesa 10.0"));
    EXPECT_TRUE(SupportsArbitraryTextureSizes("3.0 Mesa 22.3.6"));
    EXPECT_TRUE(SupportsArbitraryTextureSizes("4.5 (Compatibility Profile) Mesa 22.3.6"));
    EXPECT_TRUE(SupportsArbitraryTextureSizes("OpenGL ES 3.2 Mesa"));
    EXPECT_TRUE(SupportsArbitraryTextureSizes("10.1"));
    EXPECT_FALSE(SupportsArbitraryTextureSizes("1.4 (2.1 Mesa 7.0)"));
    EXPECT_FALSE(SupportsArbitraryTextureSizes("1.1"));
    EXPECT_FALSE(SupportsArbitraryTextureSizes(""));
    EXPECT_FALSE(SupportsArbitraryTextureSizes(nullptr));
    EXPECT_TRUE(SupportsBgrUpload("GL_ARB_x GL_EXT_bgra", "1.1"));
    EXPECT_TRUE(SupportsBgrUpload("", "1.2"));
    EXPECT_FALSE(SupportsBgrUpload("GL_ARB_x", "1.1"));
    EXPECT_FALSE(SupportsBgrUpload(nullptr, nullptr));
}

TEST(Texture, CapabilitiesAreReadOnceFromTheCurrentGL) {
    FakeTextureGL fake;
    fake.version = "1.3 Mesa";
    fake.extensions = "GL_ARB_multitexture";
    InstallTextureGL(&fake);
    ResetTextureCapabilities();
    EXPECT_FALSE(ProcessTextureCapabilities().arbitrarySizes);
    EXPECT_TRUE(ProcessTextureCapabilities().bgrUpload);  // 1.3 has it in the core
    fake.version = "4.5";
    EXPECT_FALSE(ProcessTextureCapabilities().arbitrarySizes);  // kept for the process
    ResetTextureCapabilities();
    fake.version = "";  // no context current: nothing is decided yet
    EXPECT_FALSE(ProcessTextureCapabilities().arbitrarySizes);
    fake.version = "4.5";
    EXPECT_TRUE(ProcessTextureCapabilities().arbitrarySizes);
    InstallTextureGL(nullptr);
    ResetTextureCapabilities();
}

TEST(Texture, SameSizeReusesTheTextureAndANewSizeRecreatesIt) {
    FakeTextureGLScope gl(true, false);
    GuiBitmap bitmap;
    Fill(bitmap.Image(), 500, 400, [](int x, int y) { return Rgb{uint8_t(x), uint8_t(y), 7}; });
    EXPECT_TRUE(bitmap.NeedsGLResources());
    bitmap.CreateGLResources();
    EXPECT_FALSE(bitmap.NeedsGLResources());
    ASSERT_EQ(gl.fake.allocations.size(), 1u);
    EXPECT_EQ(gl.fake.allocations[0].width, 512);
    EXPECT_EQ(gl.fake.allocations[0].height, 512);
    EXPECT_TRUE(gl.fake.allocations[0].bgr);
    const unsigned first = bitmap.TextureName();
    EXPECT_NE(first, 0u);
    EXPECT_TRUE(bitmap.UploadPending());
    bitmap.Upload();
    ASSERT_EQ(gl.fake.uploads.size(), 1u);
    EXPECT_EQ(gl.fake.uploads[0].width, 500);
    EXPECT_EQ(gl.fake.uploads[0].height, 400);
    EXPECT_FALSE(bitmap.UploadPending());

    // New pixels of the same size: same texture, no new allocation, another upload.
    Fill(bitmap.Image(), 500, 400, [](int, int) { return Rgb{1, 2, 3}; });
    bitmap.MarkForUpload();
    EXPECT_TRUE(bitmap.NeedsGLResources());
    bitmap.CreateGLResources();
    EXPECT_EQ(bitmap.TextureName(), first);
    EXPECT_EQ(gl.fake.allocations.size(), 1u);
    EXPECT_TRUE(gl.fake.deleted.empty());
    bitmap.Upload();
    EXPECT_EQ(gl.fake.uploads.size(), 2u);

    // Another size: the old texture goes, a new one of the new size comes.
    Fill(bitmap.Image(), 600, 400, [](int, int) { return Rgb{1, 2, 3}; });
    bitmap.MarkForUpload();
    bitmap.CreateGLResources();
    EXPECT_EQ(gl.fake.deleted, std::vector<unsigned>{first});
    ASSERT_EQ(gl.fake.allocations.size(), 2u);
    EXPECT_EQ(gl.fake.allocations[1].width, 1024);
    EXPECT_EQ(gl.fake.allocations[1].height, 512);
    EXPECT_NE(bitmap.TextureName(), first);

    // A new limit also sets the texture up again.
    bitmap.SetTextureLimit(256);
    EXPECT_TRUE(bitmap.NeedsGLResources());
    bitmap.CreateGLResources();
    EXPECT_EQ(gl.fake.allocations.back().width, 256);
    EXPECT_EQ(gl.fake.allocations.back().height, 256);
    EXPECT_TRUE(bitmap.Layout().scaled);
    EXPECT_FALSE(gl.fake.badSize);
}

TEST(Texture, ReleaseGoesThroughTheManagerThatMadeTheTexture) {
    FakeTextureGLScope gl(true, true);
    GuiMgr mgr;
    auto bitmap = std::make_unique<GuiBitmap>();
    Fill(bitmap->Image(), 20, 10, [](int, int) { return Rgb{9, 9, 9}; });
    mgr.Add(bitmap.get());
    bitmap->SetGLManagerId(mgr.Id());
    bitmap->CreateGLResources();
    const unsigned name = bitmap->TextureName();
    bitmap.reset();
    // The name waits for the manager's context; nothing was deleted outside it.
    EXPECT_TRUE(gl.fake.deleted.empty());
    mgr.ReleaseAllGLResources();
    EXPECT_EQ(gl.fake.deleted, std::vector<unsigned>{name});
    // A bitmap whose manager is gone just forgets its texture (it died with the context).
    GuiBitmap orphan;
    Fill(orphan.Image(), 4, 4, [](int, int) { return Rgb{}; });
    orphan.SetGLManagerId(987654);
    orphan.CreateGLResources();
    orphan.ReleaseGLResources();
    EXPECT_EQ(orphan.TextureName(), 0u);
    EXPECT_EQ(orphan.GLManagerId(), 0);
    EXPECT_TRUE(orphan.NeedsGLResources());
}

TEST(Texture, InvalidSizesAndFailuresNeverReachGL) {
    FakeTextureGLScope gl(true, true);
    // No image, or an empty one: no texture at all.
    GuiBitmap empty;
    empty.CreateGLResources();
    EXPECT_EQ(empty.TextureName(), 0u);
    EXPECT_TRUE(gl.fake.allocations.empty());
    empty.Upload();
    EXPECT_TRUE(gl.fake.uploads.empty());
    // Extremely long images are held to the GL maximum (and to 64 when GL reports none).
    for (int maxSize : {16384, 0}) {
        gl.fake.maxSize = maxSize;
        for (auto [w, h] : {std::pair{70000, 1}, std::pair{1, 70000}, std::pair{1, 1}}) {
            GuiBitmap strip;
            Fill(strip.Image(), w, h, [](int, int) { return Rgb{50, 60, 70}; });
            strip.CreateGLResources();
            strip.Upload();
        }
    }
    EXPECT_FALSE(gl.fake.badSize);
    EXPECT_EQ(gl.fake.allocations.size(), 6u);
    EXPECT_EQ(gl.fake.allocations[0].width, 16384);
    EXPECT_EQ(gl.fake.allocations[3].width, 64);

    // GL that cannot make a texture: the message, and no retry until something changes.
    gl.fake.maxSize = 16384;
    gl.fake.failGen = true;
    GuiBitmap failing;
    Fill(failing.Image(), 8, 8, [](int, int) { return Rgb{}; });
    try {
        failing.CreateGLResources();
        FAIL() << "no exception";
    } catch (const char* message) {
        EXPECT_STREQ(message, "Could not create texture");
    }
    EXPECT_EQ(failing.TextureName(), 0u);
    EXPECT_FALSE(failing.NeedsGLResources());
    // An allocation GL refuses (out of memory) is undone.
    gl.fake.failGen = false;
    gl.fake.failAlloc = true;
    failing.MarkForUpload();
    EXPECT_THROW(failing.CreateGLResources(), const char*);
    EXPECT_EQ(failing.TextureName(), 0u);
    ASSERT_FALSE(gl.fake.deleted.empty());
    EXPECT_EQ(gl.fake.deleted.back(), gl.fake.allocations.back().name);
    EXPECT_EQ(gl.fake.uploads.size(), 6u);  // only the strips; the failed bitmap uploads nothing
}

TEST(Texture, UploadWithOrWithoutBlueFirstPixels) {
    auto colour = [](int x, int y) { return Rgb{uint8_t(10 + x), uint8_t(20 + y), 30}; };
    {
        FakeTextureGLScope gl(true, true);
        GuiBitmap bitmap;
        Fill(bitmap.Image(), 5, 3, colour);
        bitmap.CreateGLResources();
        bitmap.Upload();
        ASSERT_EQ(gl.fake.uploads.size(), 1u);
        EXPECT_TRUE(gl.fake.uploads[0].bgr);
        const uint8_t* p = gl.fake.PixelOf(gl.fake.uploads[0], 4, 2);
        EXPECT_EQ(p[0], 14);  // blue first
        EXPECT_EQ(p[1], 22);
        EXPECT_EQ(p[2], 30);
    }
    {
        FakeTextureGLScope gl(false, true);
        GuiBitmap bitmap;
        Fill(bitmap.Image(), 5, 3, colour);
        bitmap.CreateGLResources();
        EXPECT_FALSE(gl.fake.allocations[0].bgr);
        bitmap.Upload();
        EXPECT_FALSE(gl.fake.uploads[0].bgr);
        const uint8_t* p = gl.fake.PixelOf(gl.fake.uploads[0], 4, 2);
        EXPECT_EQ(p[0], 30);  // red first
        EXPECT_EQ(p[2], 14);
        // The bitmap's own pixels are swapped back.
        EXPECT_EQ(bitmap.Image().At(4, 2).b, 14);
        EXPECT_EQ(bitmap.Image().At(4, 2).r, 30);
    }
}

TEST(Texture, LargeImagesAreResampledIntoTheWholeContent) {
    FakeTextureGLScope gl(true, true);
    GuiBitmap bitmap;
    // A horizontal ramp with a constant green: every texel, the last row and column included,
    // must come from the image.
    Fill(bitmap.Image(), 301, 203, [](int x, int) { return Rgb{uint8_t(x * 255 / 300), 77, 0}; });
    bitmap.SetTextureLimit(128);
    bitmap.CreateGLResources();
    ASSERT_TRUE(bitmap.Layout().scaled);
    EXPECT_EQ(bitmap.Layout().contentWidth, 128);
    EXPECT_EQ(bitmap.Layout().contentHeight, 128);
    EXPECT_NEAR(bitmap.ScaleTransform()(0, 0), 128.0 / 301, 1e-12);
    EXPECT_NEAR(bitmap.ScaleTransform()(1, 1), 128.0 / 203, 1e-12);
    bitmap.Upload();
    ASSERT_EQ(gl.fake.uploads.size(), 1u);
    const auto& u = gl.fake.uploads[0];
    EXPECT_EQ(u.width, 128);
    EXPECT_EQ(u.height, 128);
    for (int y = 0; y < 128; ++y) {
        for (int x = 0; x < 128; ++x) {
            const uint8_t* p = gl.fake.PixelOf(u, x, y);
            ASSERT_EQ(p[1], 77) << x << "," << y;
            const double expected = (x * 301.0 / 128) * 255 / 300;
            ASSERT_NEAR(p[0], std::min(255.0, expected), 2.5) << x << "," << y;
        }
    }
    // The image itself is left as it was.
    EXPECT_EQ(bitmap.Image().width, 301);
    EXPECT_EQ(bitmap.Image().At(300, 202).b, 255);
}
