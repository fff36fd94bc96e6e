#pragma once

#include <QString>
#include <memory>

class GuiBitmap;

// Decodes a photograph exactly as LoadImageFile does, with the orientation applied, into the
// bitmap's image and marks its texture for upload. False, with the bitmap untouched, when the
// file cannot be decoded; the caller reports the file.
bool LoadImageFileToBitmap(GuiBitmap& bitmap, int orientation, const QString& path);

// A new picture for the view: the decoded photograph, its rectangle sized to the image,
// visible and movable. Null when the file cannot be decoded, so nothing half-built ever
// reaches a scene.
std::unique_ptr<GuiBitmap> NewBitmapFromFile(const QString& path, int orientation);
