#pragma once

#include <QImage>
#include <string>

#include "image/ImgTypes.h"

// The width rule of movie tiles: a panorama whose width is not a multiple of the number of
// tiles n is scaled to n * trunc(width / n) pixels wide, its height in proportion (smooth
// scaling). An image of the right width is returned as it is.
QImage FitImageToTiles(const QImage& image, int tiles);
// The same for a 24-bit panorama. False with the reason when the panorama is empty or narrower
// than the number of tiles.
bool FitPanoramaToTiles(const ImgRGB& panorama, int tiles, ImgRGB* out, std::string* why);

// Conversions between 24-bit images and QImage (any format in, Format_RGB32 out).
ImgRGB ImgFromQImage(const QImage& image);
QImage QImageFromImg(const ImgRGB& image);
