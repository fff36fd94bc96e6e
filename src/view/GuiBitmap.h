#pragma once

#include "image/ImgTypes.h"
#include "linalg/CMatrix.h"
#include "view/GuiGroup.h"
#include "view/TextureSize.h"

// A photograph or panorama in the view: a group whose rectangle has the image's size, drawn
// as a texture. Textures larger than allowed hold a reduced copy of the image.
class GuiBitmap : public GuiGroup {
public:
    GuiBitmap() = default;
    // The copy holds the same pixels and will make its own texture.
    GuiBitmap(const GuiBitmap& other);
    ~GuiBitmap() override;

    GuiObj* Clone() const override { return new GuiBitmap(*this); }
    void Draw(const CMatrix& transform) override;
    // Decides the texture size, makes or reuses the texture and schedules the upload.
    // Throws "Could not create texture" when GL cannot make one.
    void CreateGLResources() override;
    void ReleaseGLResources() override;
    bool NeedsGLResources() const override { return recreate; }

    ImgRGB& Image() { return image; }
    const ImgRGB& Image() const { return image; }
    // Sizes the rectangle to the image (factor 1), as the window shows its pictures.
    void SizeToImage();
    // After the pixels or their size changed: the texture is set up and filled again.
    void MarkForUpload();

    // Largest texture side for this bitmap; 0 = only the GL limit.
    int TextureLimit() const { return limit; }
    void SetTextureLimit(int maxSide);

    unsigned TextureName() const { return texture; }
    const TextureLayout& Layout() const { return layout; }
    bool UploadPending() const { return uploadPending; }
    // Image to texture content: scale(content / image) per axis.
    const CMatrix& ScaleTransform() const { return scaleTransform; }

    // Fills the texture from the image (resampled when needed); the texture must be bound.
    void Upload();

private:
    void DeleteTexture();

    ImgRGB image;
    unsigned texture = 0;
    TextureLayout layout;
    int limit = 0;
    CMatrix scaleTransform;
    bool recreate = true;
    bool uploadPending = false;
};
