#include "movie/PanoramaScaling.h"

#include <QCoreApplication>

#include <cmath>

#include "movie/VrMovieSettings.h"

QImage FitImageToTiles(const QImage& image, int tiles) {
    const int width = TiledWidth(image.width(), tiles);
    if (width == image.width() || width <= 0)
        return image;
    const int height = std::max(1, static_cast<int>(std::lround(double(image.height()) * width / image.width())));
    return image.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

bool FitPanoramaToTiles(const ImgRGB& panorama, int tiles, ImgRGB* out, std::string* why) {
    if (!panorama.HasPixels() || tiles <= 0 || panorama.width < tiles) {
        *why = QCoreApplication::translate("VrMovie", "The panorama is narrower than the %1 tiles of the movie.")
                   .arg(tiles)
                   .toStdString();
        return false;
    }
    if (TiledWidth(panorama.width, tiles) == panorama.width) {
        *out = panorama;
        return true;
    }
    *out = ImgFromQImage(FitImageToTiles(QImageFromImg(panorama), tiles));
    return true;
}

ImgRGB ImgFromQImage(const QImage& image) {
    QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    ImgRGB out(rgb.width(), rgb.height());
    for (int y = 0; y < rgb.height(); ++y) {
        const uchar* in = rgb.constScanLine(y);
        Rgb* row = out.Row(y);
        for (int x = 0; x < rgb.width(); ++x)
            row[x] = Rgb{in[3 * x + 2], in[3 * x + 1], in[3 * x]};
    }
    return out;
}

QImage QImageFromImg(const ImgRGB& image) {
    QImage out(image.width, image.height, QImage::Format_RGB32);
    for (int y = 0; y < image.height; ++y) {
        const Rgb* in = image.Row(y);
        auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < image.width; ++x)
            row[x] = qRgb(in[x].r, in[x].g, in[x].b);
    }
    return out;
}
