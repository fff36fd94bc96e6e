#include "movie/MovieWidget.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

#include "movie/CylinderView.h"
#include "movie/VrMovieSettings.h"

namespace {

// One wheel notch narrows the field of view by a tenth.
constexpr double kZoomPerNotch = 0.9;
// Room the dialog needs around the viewer: its buttons, margins and the window frame.
constexpr int kDialogMarginWidth = 60, kDialogMarginHeight = 180;

}  // namespace

MovieWidget::MovieWidget(QWidget* parent) : QWidget(parent) {
    setFixedSize(sizeHint());
    setCursor(Qt::OpenHandCursor);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

MovieWidget::~MovieWidget() = default;

// The movie's own window size, scaled down (keeping its shape) where the screen cannot hold it
// with the dialog's buttons and frame around it: the viewer draws the same view in fewer pixels.
QSize MovieWidget::sizeHint() const {
    if (!movie)
        return {VrMovieSettings::kDefaultWidth, VrMovieSettings::kDefaultHeight};
    const QScreen* shown = screen() ? screen() : QGuiApplication::primaryScreen();
    double scale = 1;
    if (shown) {
        const QRect area = shown->availableGeometry();
        scale = std::min({1.0, double(area.width() - kDialogMarginWidth) / movie->windowWidth,
                          double(area.height() - kDialogMarginHeight) / movie->windowHeight});
        scale = std::max(scale, 0.1);
    }
    return {std::max(16, int(movie->windowWidth * scale)), std::max(16, int(movie->windowHeight * scale))};
}

bool MovieWidget::LoadMovie(const QString& path, QString* why) {
    VrMovie loaded;
    std::string reason;
    if (!ReadVrMovieFile(path.toStdString(), &loaded, &reason)) {
        if (why)
            *why = QString::fromStdString(reason);
        return false;
    }
    ShowMovie(std::move(loaded));
    moviePath = path;
    return true;
}

void MovieWidget::ShowMovie(VrMovie loaded) {
    movie = std::make_unique<VrMovie>(std::move(loaded));
    moviePath.clear();
    cylinder = CylinderOf(movie->panorama.width, movie->panorama.height, movie->angles);
    const QSize shown = sizeHint();
    frame = ImgRGB(shown.width(), shown.height());
    setFixedSize(shown);
    const VrAngles& a = movie->angles;
    SetView({a.defaultPan, a.defaultTilt, a.defaultFov});
}

void MovieWidget::SetView(const ViewAngles& angles) {
    if (!movie)
        return;
    view = ClampView(angles, movie->angles, frame.width, frame.height);
    frameValid = false;
    update();
    emit ViewChanged();
}

void MovieWidget::RenderIfNeeded() {
    if (!movie || frameValid)
        return;
    RenderCylinderView(movie->panorama, cylinder, view, frame);
    frameValid = true;
}

QImage MovieWidget::Frame() {
    if (!movie)
        return grab().toImage();
    RenderIfNeeded();
    return QImage(frame.pixels, frame.width, frame.height, frame.rowStride, QImage::Format_BGR888).copy();
}

void MovieWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!movie) {
        painter.fillRect(rect(), QColor(40, 40, 40));
        painter.setPen(QColor(200, 200, 200));
        painter.drawText(rect(), Qt::AlignCenter, tr("No movie loaded"));
        return;
    }
    RenderIfNeeded();
    QImage image(frame.pixels, frame.width, frame.height, frame.rowStride, QImage::Format_BGR888);
    painter.drawImage(0, 0, image);
}

void MovieWidget::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    dragging = true;
    lastPosition = event->position().toPoint();
    setCursor(Qt::ClosedHandCursor);
}

// The picture follows the mouse: a drag to the right brings in what lies to the left (pan grows
// to the left), a drag downwards what lies above.
void MovieWidget::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging || !movie)
        return;
    QPoint position = event->position().toPoint();
    QPoint delta = position - lastPosition;
    lastPosition = position;
    const double horizontal = HorizontalFov(view.fov, width(), height());
    ViewAngles next = view;
    next.pan += delta.x() * horizontal / width();
    next.tilt += delta.y() * view.fov / height();
    SetView(next);
}

void MovieWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        dragging = false;
        setCursor(Qt::OpenHandCursor);
    }
}

void MovieWidget::wheelEvent(QWheelEvent* event) {
    if (!movie)
        return;
    const double notches = event->angleDelta().y() / 120.0;
    ViewAngles next = view;
    next.fov = view.fov * std::pow(kZoomPerNotch, notches);
    SetView(next);
    event->accept();
}
