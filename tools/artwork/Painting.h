#pragma once

// Drawing primitives shared by the program's icons. Every icon is drawn on a 32 x 32 unit
// canvas; the caller scales the painter to the pixel size it wants, so one drawing serves the
// 16-pixel tool buttons and the 256-pixel desktop icon alike.
#include <QColor>
#include <QPainter>
#include <QPointF>
#include <QRectF>

namespace artwork {

// A small photograph: sky, sun, hills and a frame in the given colour.
void Photo(QPainter& p, const QRectF& r, const QColor& frame, double frameWidth = 1.2);
// A plain coloured frame with a light inside, as the view draws a selected image.
void Frame(QPainter& p, const QRectF& r, const QColor& colour, double width);
// A magnifying glass whose lens is centred at c.
void Magnifier(QPainter& p, const QPointF& c, double radius);
enum class Symbol { Plus, Minus, Cross, Check };
// A round badge with a white symbol.
void Badge(QPainter& p, const QPointF& c, double radius, const QColor& fill, Symbol symbol);
// The symbol alone, drawn in the given colour and stroke width.
void SymbolMark(QPainter& p, const QPointF& c, double half, const QColor& colour, double width, Symbol symbol);
// A thick arrow from a to b with a solid head.
void Arrow(QPainter& p, const QPointF& a, const QPointF& b, const QColor& colour, double width);
// A sheet of paper with a folded corner; lines > 0 draws that many text lines on it.
void Page(QPainter& p, const QRectF& r, int lines);
void Floppy(QPainter& p, const QRectF& r, const QColor& body);
void Folder(QPainter& p, const QRectF& r, bool open);
// A cross-hair point marker as the matching page draws corresponding points.
void Crosshair(QPainter& p, const QPointF& c, double half, const QColor& colour, double width);
void Gear(QPainter& p, const QPointF& c, double radius);
// A five-pointed star.
void Star(QPainter& p, const QPointF& c, double radius, const QColor& fill);
// A wide landscape strip: the panorama motif.
void PanoramaStrip(QPainter& p, const QRectF& r, const QColor& frame);

// Darker and lighter shades for outlines and highlights.
QColor Shade(const QColor& c, int percent);

}  // namespace artwork
