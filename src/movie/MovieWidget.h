#pragma once

#include <QImage>
#include <QPoint>
#include <QString>
#include <QWidget>

#include <memory>

#include "movie/CylinderGeometry.h"
#include "movie/VrMovieReader.h"

// Shows a cylindrical QuickTime VR movie: the view of a camera at the centre of the cylinder,
// at the movie's window size. Dragging pans and tilts (a drag across the whole view turns it by
// its field of view), the wheel zooms within the movie's field-of-view limits, a 360-degree
// panorama wraps around. Without a movie it shows a short note.
class MovieWidget : public QWidget {
    Q_OBJECT
public:
    explicit MovieWidget(QWidget* parent = nullptr);
    ~MovieWidget() override;

    // Replaces the shown movie with the one in the file and starts at its default view. False
    // with the reader's message when the file is not a movie that can be shown; the previous
    // movie stays then.
    bool LoadMovie(const QString& path, QString* why);
    // Shows a movie already read (taken over).
    void ShowMovie(VrMovie movie);
    bool HasMovie() const { return movie != nullptr; }
    const VrMovie* Movie() const { return movie.get(); }
    const QString& MoviePath() const { return moviePath; }

    const ViewAngles& View() const { return view; }
    // Sets the view (limited to the movie's angles) and repaints.
    void SetView(const ViewAngles& angles);
    // The picture the widget paints for the current view (the movie's window size).
    QImage Frame();

    QSize sizeHint() const override;

signals:
    void ViewChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void RenderIfNeeded();

    std::unique_ptr<VrMovie> movie;
    QString moviePath;
    Cylinder cylinder;
    ViewAngles view;
    ImgRGB frame;
    bool frameValid = false;
    bool dragging = false;
    QPoint lastPosition;
};
