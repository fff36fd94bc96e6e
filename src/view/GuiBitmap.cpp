#include "view/GuiBitmap.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <utility>

#include "image/WarpImage.h"
#include "view/GlDraw.h"
#include "view/GuiMgr.h"
#include "view/TextureGL.h"
#include "view/ViewTransform.h"

GuiBitmap::GuiBitmap(const GuiBitmap& other) : GuiGroup(other), image(other.image), limit(other.limit) {}

GuiBitmap::~GuiBitmap() { ReleaseGLResources(); }

void GuiBitmap::SizeToImage() { SetScaledSize(image.width, image.height, 1.0); }

void GuiBitmap::MarkForUpload() {
    recreate = true;
    MarkDirty();
}

void GuiBitmap::SetTextureLimit(int maxSide) {
    if (maxSide == limit)
        return;
    limit = maxSide;
    MarkForUpload();
}

void GuiBitmap::DeleteTexture() {
    if (texture)
        CurrentTextureGL().DeleteTexture(texture);
    texture = 0;
    layout = TextureLayout{};
    uploadPending = false;
}

void GuiBitmap::CreateGLResources() {
    // Whatever happens below, a failed texture is not tried again on every frame: only a new
    // image or limit asks for another attempt.
    recreate = false;
    const TextureCapabilities& caps = ProcessTextureCapabilities();
    if (!image.HasPixels()) {
        DeleteTexture();
        return;
    }
    TextureGL& gl = CurrentTextureGL();
    const TextureLayout next =
        ComputeTextureLayout(image.width, image.height, gl.MaxTextureSize(), limit, caps.arbitrarySizes);
    if (texture && (next.textureWidth != layout.textureWidth || next.textureHeight != layout.textureHeight))
        DeleteTexture();
    if (next.IsEmpty())
        return;
    if (!texture) {
        gl.TakeError();
        const unsigned name = gl.GenTexture();
        if (gl.TakeError() || name == 0)
            throw "Could not create texture";
        texture = name;
        gl.BindTexture(texture);
        gl.AllocateTexture(next.textureWidth, next.textureHeight, caps.bgrUpload);
        if (gl.TakeError()) {
            DeleteTexture();
            throw "Could not create texture";
        }
    } else {
        gl.BindTexture(texture);
    }
    gl.SetTextureParameters();
    layout = next;
    scaleTransform = layout.scaled ? ScalingTransform(double(layout.contentWidth) / image.width,
                                                      double(layout.contentHeight) / image.height)
                                   : IdentityTransform();
    uploadPending = true;
}

void GuiBitmap::ReleaseGLResources() {
    if (texture) {
        // The texture lives in the context of the manager that made it; that manager deletes
        // it the next time its context is current. Without the manager the context is gone,
        // and the texture with it.
        if (GuiMgr* mgr = GuiMgr::Find(GLManagerId()))
            mgr->DeleteTextureLater(texture);
    }
    texture = 0;
    layout = TextureLayout{};
    uploadPending = false;
    recreate = true;
    SetGLManagerId(0);
}

namespace {

// Bilinear sample with the neighbours clamped to the image, for the last rows and columns
// of a reduction, which the warp leaves alone because their right or lower neighbour is
// missing.
Rgb ClampedSample(const ImgRGB& src, double x, double y) {
    x = std::clamp(x, 0.0, double(src.width - 1));
    y = std::clamp(y, 0.0, double(src.height - 1));
    const int x0 = static_cast<int>(x), y0 = static_cast<int>(y);
    const int x1 = std::min(x0 + 1, src.width - 1), y1 = std::min(y0 + 1, src.height - 1);
    const double fx = x - x0, fy = y - y0;
    const Rgb a = src.At(x0, y0), b = src.At(x1, y0), c = src.At(x0, y1), d = src.At(x1, y1);
    auto mix = [&](uint8_t pa, uint8_t pb, uint8_t pc, uint8_t pd) {
        const double top = pa + fx * (pb - pa), bottom = pc + fx * (pd - pc);
        return static_cast<uint8_t>(std::lround(top + fy * (bottom - top)));
    };
    return {mix(a.b, b.b, c.b, d.b), mix(a.g, b.g, c.g, d.g), mix(a.r, b.r, c.r, d.r)};
}

void ReduceIntoContent(const ImgRGB& src, ImgRGB& dst, const CMatrix& scale) {
    WarpImage(src, dst, scale, false);
    const double sx = scale(0, 0), sy = scale(1, 1);
    const int edge = 2;
    for (int y = 0; y < dst.height; ++y) {
        const bool lastRows = y >= dst.height - edge;
        Rgb* row = dst.Row(y);
        for (int x = lastRows ? 0 : std::max(0, dst.width - edge); x < dst.width; ++x)
            row[x] = ClampedSample(src, x / sx, y / sy);
    }
}

void SwapRedBlue(ImgRGB& img) {
    for (int y = 0; y < img.height; ++y) {
        Rgb* row = img.Row(y);
        for (int x = 0; x < img.width; ++x)
            std::swap(row[x].b, row[x].r);
    }
}

bool HasGlRowLayout(const ImgRGB& img) { return img.rowStride == ((img.width * 3 + 3) & ~3); }

}  // namespace

void GuiBitmap::Upload() {
    uploadPending = false;
    if (!texture || !image.HasPixels() || layout.IsEmpty())
        return;
    const bool bgr = ProcessTextureCapabilities().bgrUpload;
    ImgRGB temporary;
    ImgRGB* source = &image;
    if (layout.scaled) {
        temporary.Resize(layout.contentWidth, layout.contentHeight);
        ReduceIntoContent(image, temporary, scaleTransform);
        source = &temporary;
    } else if (!HasGlRowLayout(image)) {
        temporary = ImgRGB(image.width, image.height);
        image.CopyTo(temporary);
        source = &temporary;
    }
    TextureGL& gl = CurrentTextureGL();
    if (bgr) {
        gl.UploadSubImage(layout.contentWidth, layout.contentHeight, true, source->pixels);
        return;
    }
    // Red first for GL: swap in place and, for the bitmap's own image, back again.
    SwapRedBlue(*source);
    gl.UploadSubImage(layout.contentWidth, layout.contentHeight, false, source->pixels);
    if (source == &image)
        SwapRedBlue(image);
}

void GuiBitmap::Draw(const CMatrix& transform) {
    if (texture && uploadPending) {
        CurrentTextureGL().BindTexture(texture);
        Upload();
    }
    if (texture && !layout.IsEmpty()) {
        const std::array<PointD, 4> q = ScreenQuad(rect.Corners(), transform);
        glPushAttrib(GL_ENABLE_BIT | GL_TEXTURE_BIT | GL_POLYGON_BIT | GL_CURRENT_BIT);
        glEnable(GL_TEXTURE_2D);
        glDisable(GL_BLEND);
        glBindTexture(GL_TEXTURE_2D, texture);
        // The environment belongs to the texture unit, not to the texture: set it per draw.
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_DECAL);
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
        glMatrixMode(GL_TEXTURE);
        glPushMatrix();
        glLoadIdentity();
        glScaled(double(layout.contentWidth) / layout.textureWidth, double(layout.contentHeight) / layout.textureHeight,
                 1.0);
        static const double kTexCorner[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
        glBegin(GL_QUADS);
        for (int i = 0; i < 4; ++i) {
            glTexCoord2d(kTexCorner[i][0], kTexCorner[i][1]);
            glVertex2d(q[i].x, q[i].y);
        }
        glEnd();
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        glPopAttrib();
    }
    GuiRect::Draw(transform);
}
