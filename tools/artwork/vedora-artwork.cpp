// Draws the program's icons and its banner picture into resources/.
//
//   vedora-artwork WORLD.jpg RESOURCES_DIR
//
// The icons are drawn with QPainter (see Icons.cpp); the banner is a strip cut from the
// equirectangular world photograph of the test data, so it carries that photograph's credits.
// The outputs are committed; run this again only when a drawing changes.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdio>
#include <cstdlib>

#include "artwork/Icons.h"

namespace {

QImage Render(void (*draw)(QPainter&), int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    draw(p);
    p.end();
    return image;
}

bool Save(const QImage& image, const QString& path, int quality = -1) {
    QDir().mkpath(QFileInfo(path).path());
    if (!image.save(path, nullptr, quality)) {
        std::fprintf(stderr, "could not write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

// A strip of the world around the horizon: longitude lon0..lon1 and latitude lat0..lat1 (degrees)
// of the equirectangular image, scaled to width x height.
QImage Strip(const QImage& world, double lon0, double lon1, double lat0, double lat1, int width, int height) {
    auto column = [&](double lon) { return (lon + 180.0) / 360.0 * world.width(); };
    auto row = [&](double lat) { return (90.0 - lat) / 180.0 * world.height(); };
    QRectF source(QPointF(column(lon0), row(lat1)), QPointF(column(lon1), row(lat0)));
    QImage strip = world.copy(source.toAlignedRect());
    return strip.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: vedora-artwork WORLD.jpg RESOURCES_DIR\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QString out = QString::fromLocal8Bit(argv[2]);
    bool ok = true;
    for (const artwork::IconSpec& icon : artwork::Icons())
        ok = Save(Render(icon.draw, icon.size), out + "/images/" + icon.name + ".png") && ok;

    for (int size : {48, 128, 256})
        ok = Save(Render(artwork::DrawApplicationIcon, size),
                  QString("%1/desktop/hicolor/%2x%2/apps/vedora.png").arg(out).arg(size)) &&
             ok;

    QImage world(QString::fromLocal8Bit(argv[1]));
    if (world.isNull()) {
        std::fprintf(stderr, "could not read %s\n", argv[1]);
        return 1;
    }
    QImage banner = Strip(world.convertToFormat(QImage::Format_RGB32), -58, 58, 29, 47, 420, 64);
    ok = Save(banner, out + "/images/banner3.jpg", 90) && ok;
    return ok ? 0 : 1;
}
