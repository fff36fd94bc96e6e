#include "view/BitmapImageFile.h"

#include "image/ImageFile.h"
#include "view/GuiBitmap.h"

bool LoadImageFileToBitmap(GuiBitmap& bitmap, int orientation, const QString& path) {
    // The image keeps its old pixels unless the decoding succeeds.
    if (!LoadImageFile(bitmap.Image(), orientation, path))
        return false;
    bitmap.MarkForUpload();
    return true;
}

std::unique_ptr<GuiBitmap> NewBitmapFromFile(const QString& path, int orientation) {
    auto bitmap = std::make_unique<GuiBitmap>();
    if (!LoadImageFileToBitmap(*bitmap, orientation, path))
        return nullptr;
    bitmap->SetName(path.toStdString());
    bitmap->SetFlags(kGuiVisible | kGuiMovable);
    bitmap->SizeToImage();
    return bitmap;
}
