#pragma once

// Panoramas and helpers shared by the movie tests.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cmath>
#include <fstream>
#include <iterator>
#include <numbers>
#include <string>
#include <vector>

#include "image/ImgTypes.h"
#include "render/ImageCompare.h"
#include "render/ViewRenderer.h"

// A cylindrical panorama of the test world: width pixels cover angle degrees of pan (to the
// right), the horizon is the middle row and one pixel is the same angle both ways.
inline ImgRGB RenderCylindricalPanorama(int width, int height, double angle = 360.0) {
    static render::World world;
    static bool loaded = world.Load(VEDORA_TEST_DATA "/world.jpg");
    ImgRGB out(width, height);
    if (!loaded)
        return out;
    const double radius = width / (angle * std::numbers::pi / 180.0);
    for (int y = 0; y < height; ++y) {
        Rgb* row = out.Row(y);
        const double h = (height / 2.0 - (y + 0.5)) / radius;
        for (int x = 0; x < width; ++x) {
            const double yaw = (x + 0.5) / radius;
            double rgb[3];
            world.Sample(render::Vec3{std::sin(yaw), -h, std::cos(yaw)}, rgb);
            row[x] = Rgb{static_cast<uint8_t>(rgb[2] + 0.5), static_cast<uint8_t>(rgb[1] + 0.5),
                         static_cast<uint8_t>(rgb[0] + 0.5)};
        }
    }
    return out;
}

// A small panorama of smooth colours and a few sharp edges, fast to make at any size.
inline ImgRGB SyntheticPanorama(int width, int height) {
    ImgRGB out(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            bool stripe = (x / 16) % 5 == 0;
            out.At(x, y) = Rgb{static_cast<uint8_t>(stripe ? 20 : 60 + 120 * x / width),
                               static_cast<uint8_t>(40 + 150 * y / height),
                               static_cast<uint8_t>(stripe ? 230 : 90 + (x * y) % 60)};
        }
    return out;
}

inline double PsnrOf(const ImgRGB& a, const ImgRGB& b) { return render::Psnr(a, b).decibels; }

inline std::vector<uint8_t> ReadFileBytes(const QString& path) {
    std::ifstream in(path.toStdString(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteFileBytes(const QString& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path.toStdString(), std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline QStringList FilesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
}
