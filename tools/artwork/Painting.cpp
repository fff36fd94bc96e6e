#include "artwork/Painting.h"

#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <numbers>

namespace artwork {

QColor Shade(const QColor& c, int percent) { return percent >= 100 ? c.lighter(percent) : c.darker(10000 / percent); }

namespace {

QPen Outline(const QColor& c, double width) {
    QPen pen(c, width);
    pen.setJoinStyle(Qt::RoundJoin);
    pen.setCapStyle(Qt::RoundCap);
    return pen;
}

// Sky, sun and two hills clipped to a rectangle.
void Landscape(QPainter& p, const QRectF& r) {
    p.save();
    p.setClipRect(r);
    QLinearGradient sky(r.topLeft(), r.bottomLeft());
    sky.setColorAt(0, QColor(70, 140, 230));
    sky.setColorAt(0.65, QColor(190, 225, 255));
    p.fillRect(r, sky);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 214, 60));
    double s = std::min(r.width(), r.height());
    p.drawEllipse(QPointF(r.left() + r.width() * 0.75, r.top() + r.height() * 0.3), s * 0.13, s * 0.13);
    QPainterPath far;
    far.moveTo(r.left(), r.bottom());
    far.lineTo(r.left(), r.top() + r.height() * 0.62);
    far.quadTo(r.left() + r.width() * 0.3, r.top() + r.height() * 0.35, r.left() + r.width() * 0.62,
               r.top() + r.height() * 0.66);
    far.lineTo(r.right(), r.top() + r.height() * 0.55);
    far.lineTo(r.right(), r.bottom());
    far.closeSubpath();
    p.setBrush(QColor(96, 150, 90));
    p.drawPath(far);
    QPainterPath near;
    near.moveTo(r.left(), r.bottom());
    near.lineTo(r.left(), r.top() + r.height() * 0.85);
    near.quadTo(r.left() + r.width() * 0.55, r.top() + r.height() * 0.6, r.right(), r.top() + r.height() * 0.8);
    near.lineTo(r.right(), r.bottom());
    near.closeSubpath();
    p.setBrush(QColor(60, 120, 50));
    p.drawPath(near);
    p.restore();
}

}  // namespace

void Photo(QPainter& p, const QRectF& r, const QColor& frame, double frameWidth) {
    Landscape(p, r);
    p.setBrush(Qt::NoBrush);
    p.setPen(Outline(frame, frameWidth));
    p.drawRect(r);
}

void Frame(QPainter& p, const QRectF& r, const QColor& colour, double width) {
    QColor inside = colour;
    inside.setAlpha(40);
    p.setBrush(inside);
    QPen pen(colour, width);
    pen.setJoinStyle(Qt::MiterJoin);
    p.setPen(pen);
    p.drawRect(r);
}

void Magnifier(QPainter& p, const QPointF& c, double radius) {
    QPointF dir(std::sqrt(0.5), std::sqrt(0.5));
    QPointF a = c + dir * (radius * 1.05);
    QPointF b = c + dir * (radius * 2.3);
    p.setPen(Outline(QColor(70, 50, 30), radius * 0.55));
    p.drawLine(a, b);
    p.setPen(Outline(QColor(150, 100, 50), radius * 0.32));
    p.drawLine(a + dir * radius * 0.2, b - dir * radius * 0.1);
    QRadialGradient glass(c - QPointF(radius, radius) * 0.35, radius * 1.4);
    glass.setColorAt(0, QColor(255, 255, 255, 230));
    glass.setColorAt(1, QColor(150, 200, 240, 170));
    p.setBrush(glass);
    p.setPen(Outline(QColor(60, 60, 70), radius * 0.28));
    p.drawEllipse(c, radius, radius);
}

void SymbolMark(QPainter& p, const QPointF& c, double half, const QColor& colour, double width, Symbol symbol) {
    p.setPen(Outline(colour, width));
    p.setBrush(Qt::NoBrush);
    switch (symbol) {
    case Symbol::Plus:
        p.drawLine(c - QPointF(half, 0), c + QPointF(half, 0));
        p.drawLine(c - QPointF(0, half), c + QPointF(0, half));
        break;
    case Symbol::Minus: p.drawLine(c - QPointF(half, 0), c + QPointF(half, 0)); break;
    case Symbol::Cross:
        p.drawLine(c - QPointF(half, half), c + QPointF(half, half));
        p.drawLine(c - QPointF(half, -half), c + QPointF(half, -half));
        break;
    case Symbol::Check: {
        QPainterPath path;
        path.moveTo(c + QPointF(-half, 0));
        path.lineTo(c + QPointF(-half * 0.3, half * 0.75));
        path.lineTo(c + QPointF(half, -half * 0.8));
        p.drawPath(path);
        break;
    }
    }
}

void Badge(QPainter& p, const QPointF& c, double radius, const QColor& fill, Symbol symbol) {
    QRadialGradient g(c - QPointF(radius, radius) * 0.4, radius * 1.6);
    g.setColorAt(0, Shade(fill, 150));
    g.setColorAt(1, fill);
    p.setBrush(g);
    p.setPen(Outline(Shade(fill, 60), radius * 0.14));
    p.drawEllipse(c, radius, radius);
    SymbolMark(p, c, radius * 0.5, Qt::white, radius * 0.32, symbol);
}

void Arrow(QPainter& p, const QPointF& a, const QPointF& b, const QColor& colour, double width) {
    QPointF d = b - a;
    double len = std::hypot(d.x(), d.y());
    if (len <= 0)
        return;
    QPointF u = d / len;
    QPointF n(-u.y(), u.x());
    double head = width * 2.2;
    QPointF base = b - u * head;
    QPainterPath path;
    path.moveTo(a + n * width / 2);
    path.lineTo(base + n * width / 2);
    path.lineTo(base + n * head * 0.75);
    path.lineTo(b);
    path.lineTo(base - n * head * 0.75);
    path.lineTo(base - n * width / 2);
    path.lineTo(a - n * width / 2);
    path.closeSubpath();
    p.setBrush(colour);
    p.setPen(Outline(Shade(colour, 60), 0.9));
    p.drawPath(path);
}

void Page(QPainter& p, const QRectF& r, int lines) {
    double fold = r.width() * 0.32;
    QPainterPath sheet;
    sheet.moveTo(r.topLeft());
    sheet.lineTo(r.right() - fold, r.top());
    sheet.lineTo(r.right(), r.top() + fold);
    sheet.lineTo(r.bottomRight());
    sheet.lineTo(r.bottomLeft());
    sheet.closeSubpath();
    QLinearGradient g(r.topLeft(), r.bottomRight());
    g.setColorAt(0, Qt::white);
    g.setColorAt(1, QColor(225, 228, 235));
    p.setBrush(g);
    p.setPen(Outline(QColor(110, 115, 125), 1.0));
    p.drawPath(sheet);
    QPainterPath corner;
    corner.moveTo(r.right() - fold, r.top());
    corner.lineTo(r.right() - fold, r.top() + fold);
    corner.lineTo(r.right(), r.top() + fold);
    p.setBrush(QColor(200, 204, 212));
    p.drawPath(corner);
    p.setPen(Outline(QColor(140, 150, 170), 1.1));
    for (int i = 0; i < lines; ++i) {
        double y = r.top() + fold + 3 + i * (r.height() - fold - 5) / std::max(lines, 1);
        double right = r.right() - 3 - (i % 2) * r.width() * 0.2;
        p.drawLine(QPointF(r.left() + 3, y), QPointF(right, y));
    }
}

void Floppy(QPainter& p, const QRectF& r, const QColor& body) {
    double cut = r.width() * 0.16;
    QPainterPath shape;
    shape.moveTo(r.topLeft());
    shape.lineTo(r.right() - cut, r.top());
    shape.lineTo(r.right(), r.top() + cut);
    shape.lineTo(r.bottomRight());
    shape.lineTo(r.bottomLeft());
    shape.closeSubpath();
    QLinearGradient g(r.topLeft(), r.bottomRight());
    g.setColorAt(0, Shade(body, 130));
    g.setColorAt(1, body);
    p.setBrush(g);
    p.setPen(Outline(Shade(body, 50), 1.0));
    p.drawPath(shape);
    // Shutter and label.
    QRectF shutter(r.left() + r.width() * 0.25, r.top(), r.width() * 0.45, r.height() * 0.32);
    p.setBrush(QColor(200, 205, 215));
    p.setPen(Outline(QColor(90, 95, 105), 0.8));
    p.drawRect(shutter);
    p.setBrush(QColor(60, 65, 75));
    p.setPen(Qt::NoPen);
    p.drawRect(QRectF(shutter.left() + shutter.width() * 0.62, shutter.top() + 1.2, shutter.width() * 0.22,
                      shutter.height() - 2.4));
    QRectF label(r.left() + r.width() * 0.14, r.top() + r.height() * 0.5, r.width() * 0.72, r.height() * 0.5);
    p.setBrush(Qt::white);
    p.setPen(Outline(Shade(body, 60), 0.8));
    p.drawRect(label);
    p.setPen(Outline(QColor(170, 175, 190), 0.8));
    for (int i = 1; i <= 2; ++i) {
        double y = label.top() + label.height() * i / 3.0;
        p.drawLine(QPointF(label.left() + 2, y), QPointF(label.right() - 2, y));
    }
}

void Folder(QPainter& p, const QRectF& r, bool open) {
    QColor back(222, 170, 60), front(250, 205, 90);
    QPainterPath tab;
    tab.moveTo(r.left(), r.top() + r.height() * 0.18);
    tab.lineTo(r.left() + r.width() * 0.08, r.top());
    tab.lineTo(r.left() + r.width() * 0.38, r.top());
    tab.lineTo(r.left() + r.width() * 0.46, r.top() + r.height() * 0.18);
    tab.lineTo(r.right(), r.top() + r.height() * 0.18);
    tab.lineTo(r.right(), r.bottom());
    tab.lineTo(r.left(), r.bottom());
    tab.closeSubpath();
    p.setBrush(back);
    p.setPen(Outline(QColor(140, 95, 20), 1.0));
    p.drawPath(tab);
    QPainterPath flap;
    if (open) {
        flap.moveTo(r.left() + r.width() * 0.14, r.top() + r.height() * 0.38);
        flap.lineTo(r.right() + r.width() * 0.04, r.top() + r.height() * 0.38);
        flap.lineTo(r.right() - r.width() * 0.08, r.bottom());
        flap.lineTo(r.left(), r.bottom());
    } else {
        flap.moveTo(r.left(), r.top() + r.height() * 0.32);
        flap.lineTo(r.right(), r.top() + r.height() * 0.32);
        flap.lineTo(r.right(), r.bottom());
        flap.lineTo(r.left(), r.bottom());
    }
    flap.closeSubpath();
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, Shade(front, 115));
    g.setColorAt(1, front);
    p.setBrush(g);
    p.drawPath(flap);
}

void Crosshair(QPainter& p, const QPointF& c, double half, const QColor& colour, double width) {
    p.setBrush(Qt::NoBrush);
    p.setPen(Outline(Qt::white, width + 1.4));
    p.drawLine(c - QPointF(half, 0), c + QPointF(half, 0));
    p.drawLine(c - QPointF(0, half), c + QPointF(0, half));
    p.setPen(Outline(colour, width));
    p.drawLine(c - QPointF(half, 0), c + QPointF(half, 0));
    p.drawLine(c - QPointF(0, half), c + QPointF(0, half));
}

void Gear(QPainter& p, const QPointF& c, double radius) {
    const int teeth = 8;
    QPainterPath path;
    for (int i = 0; i < teeth * 4; ++i) {
        double a = i * std::numbers::pi * 2 / (teeth * 4) - std::numbers::pi / (teeth * 4);
        double r = (i % 4 == 0 || i % 4 == 1) ? radius : radius * 0.76;
        QPointF q = c + QPointF(std::cos(a), std::sin(a)) * r;
        if (i == 0)
            path.moveTo(q);
        else
            path.lineTo(q);
    }
    path.closeSubpath();
    path.addEllipse(c, radius * 0.3, radius * 0.3);
    path.setFillRule(Qt::OddEvenFill);
    QRadialGradient g(c - QPointF(radius, radius) * 0.4, radius * 2);
    g.setColorAt(0, QColor(225, 228, 235));
    g.setColorAt(1, QColor(120, 128, 140));
    p.setBrush(g);
    p.setPen(Outline(QColor(60, 65, 75), radius * 0.09));
    p.drawPath(path);
}

void Star(QPainter& p, const QPointF& c, double radius, const QColor& fill) {
    QPainterPath path;
    for (int i = 0; i < 10; ++i) {
        double a = -std::numbers::pi / 2 + i * std::numbers::pi / 5;
        double r = i % 2 == 0 ? radius : radius * 0.45;
        QPointF q = c + QPointF(std::cos(a), std::sin(a)) * r;
        if (i == 0)
            path.moveTo(q);
        else
            path.lineTo(q);
    }
    path.closeSubpath();
    p.setBrush(fill);
    p.setPen(Outline(Shade(fill, 55), radius * 0.12));
    p.drawPath(path);
}

void PanoramaStrip(QPainter& p, const QRectF& r, const QColor& frame) { Photo(p, r, frame, 1.2); }

}  // namespace artwork
