#include "artwork/Icons.h"

#include <QPainterPath>

#include "artwork/Painting.h"

namespace artwork {

namespace {

const QColor kRed(220, 30, 30);
const QColor kBlue(30, 70, 230);
const QColor kGreen(40, 170, 60);
const QColor kOrange(245, 140, 20);
const QColor kGrey(120, 125, 135);

// Two stacked photographs, the lower one shifted down and right.
void StackedPair(QPainter& p, const QColor& backFrame, const QColor& frontFrame, bool frontFirst) {
    QRectF a(3, 3, 19, 15), b(10, 13, 19, 15);
    if (frontFirst) {
        Photo(p, b, backFrame, 2);
        Photo(p, a, frontFrame, 2);
    } else {
        Photo(p, a, backFrame, 2);
        Photo(p, b, frontFrame, 2);
    }
}

void IconNew(QPainter& p) {
    Page(p, QRectF(5, 2, 20, 27), 0);
    Star(p, QPointF(23, 24), 6.5, QColor(255, 210, 40));
}

void IconFloppyLoad(QPainter& p) {
    Floppy(p, QRectF(2, 8, 21, 21), QColor(60, 100, 190));
    Arrow(p, QPointF(16, 16), QPointF(28, 3), kGreen, 3.4);
}

void IconFloppySave(QPainter& p) {
    Floppy(p, QRectF(9, 9, 21, 21), QColor(60, 100, 190));
    Arrow(p, QPointF(4, 2), QPointF(14, 17), kOrange, 3.4);
}

void IconFloppy(QPainter& p) { Floppy(p, QRectF(3, 3, 26, 26), QColor(60, 100, 190)); }

void IconListLoad(QPainter& p) {
    Page(p, QRectF(3, 2, 21, 27), 0);
    for (int i = 0; i < 4; ++i) {
        double y = 11 + i * 4.5;
        p.setPen(Qt::NoPen);
        p.setBrush(kBlue);
        p.drawEllipse(QPointF(7.5, y), 1.5, 1.5);
        p.setPen(QPen(kGrey, 1.4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(11, y), QPointF(19 - (i % 2) * 3, y));
    }
    Arrow(p, QPointF(18, 26), QPointF(30, 14), kGreen, 3.2);
}

void IconOpenFile(QPainter& p) {
    Photo(p, QRectF(9, 2, 19, 14), Qt::white, 1.5);
    Folder(p, QRectF(2, 9, 27, 20), true);
}

void IconStop(QPainter& p) { Badge(p, QPointF(16, 16), 13, kRed, Symbol::Cross); }

void IconRemove1(QPainter& p) {
    Photo(p, QRectF(2, 3, 22, 17), QColor(90, 90, 90), 1.2);
    Badge(p, QPointF(22, 22), 8.5, kRed, Symbol::Minus);
}

void IconLineEdit(QPainter& p) {
    p.setBrush(Qt::white);
    p.setPen(QPen(kGrey, 1.2));
    p.drawRect(QRectF(2, 17, 28, 11));
    p.setPen(QPen(Qt::black, 1.4));
    p.drawLine(QPointF(6, 20), QPointF(6, 25));
    // A pencil lying across the field.
    QPainterPath pencil;
    pencil.moveTo(10, 21);
    pencil.lineTo(26, 5);
    pencil.lineTo(30, 9);
    pencil.lineTo(14, 25);
    pencil.closeSubpath();
    p.setBrush(QColor(250, 190, 40));
    p.setPen(QPen(QColor(120, 80, 10), 1.0));
    p.drawPath(pencil);
    QPainterPath tip;
    tip.moveTo(10, 21);
    tip.lineTo(14, 25);
    tip.lineTo(8, 27);
    tip.closeSubpath();
    p.setBrush(QColor(240, 210, 170));
    p.drawPath(tip);
    p.setBrush(QColor(230, 100, 110));
    QPainterPath eraser;
    eraser.moveTo(26, 5);
    eraser.lineTo(28, 3);
    eraser.lineTo(32, 7);
    eraser.lineTo(30, 9);
    eraser.closeSubpath();
    p.drawPath(eraser);
}

void IconTool(QPainter& p) { Gear(p, QPointF(16, 16), 14); }

void IconFind(QPainter& p) {
    StackedPair(p, QColor(90, 90, 90), QColor(90, 90, 90), false);
    Magnifier(p, QPointF(13, 13), 7.5);
}

void IconSelectFirst(QPainter& p) {
    Photo(p, QRectF(3, 5, 26, 21), kRed, 3);
    p.setPen(Qt::NoPen);
    p.setBrush(kRed);
    p.drawEllipse(QPointF(24, 24), 7.5, 7.5);
    p.setPen(QPen(Qt::white, 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(QPointF(22.2, 21.6), QPointF(24.4, 19.8));
    p.drawLine(QPointF(24.4, 19.8), QPointF(24.4, 28.3));
}

void IconSelectSecond(QPainter& p) {
    Photo(p, QRectF(3, 5, 26, 21), kBlue, 3);
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    p.drawEllipse(QPointF(24, 24), 7.5, 7.5);
    QPainterPath two;
    two.moveTo(21, 21.5);
    two.cubicTo(21.5, 18.2, 27.3, 18.4, 26.8, 21.8);
    two.cubicTo(26.5, 23.8, 22, 25.5, 21, 28.4);
    two.lineTo(27.2, 28.4);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(two);
}

void IconInsertPoint(QPainter& p) {
    Crosshair(p, QPointF(13, 13), 10, kRed, 2.4);
    Badge(p, QPointF(23, 23), 8, kGreen, Symbol::Plus);
}

void IconDeletePoint(QPainter& p) {
    Crosshair(p, QPointF(13, 13), 10, kRed, 2.4);
    Badge(p, QPointF(23, 23), 8, kRed, Symbol::Minus);
}

void IconApply(QPainter& p) { SymbolMark(p, QPointF(16, 17), 11, kGreen, 6, Symbol::Check); }

void IconSelectRef(QPainter& p) {
    Photo(p, QRectF(2, 5, 24, 19), QColor(60, 60, 60), 1.5);
    Star(p, QPointF(23, 22), 8.5, QColor(255, 200, 20));
}

void IconRedFrame(QPainter& p) { Frame(p, QRectF(4, 6, 24, 20), kRed, 4); }

void IconBlueFrame(QPainter& p) { Frame(p, QRectF(4, 6, 24, 20), kBlue, 4); }

void IconStitch(QPainter& p) {
    QRectF a(1, 8, 14, 16), b(11, 6, 14, 16), c(20, 9, 11, 15);
    Photo(p, a, QColor(80, 80, 80), 1);
    Photo(p, c, QColor(80, 80, 80), 1);
    Photo(p, b, QColor(80, 80, 80), 1);
    // The seams join: a needle and thread across the overlap.
    p.setPen(QPen(QColor(200, 30, 30), 1.6, Qt::DashLine, Qt::RoundCap));
    p.drawLine(QPointF(3, 27.5), QPointF(29, 27.5));
}

void IconCrop(QPainter& p) {
    QPen pen(QColor(50, 55, 65), 3.4, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    QPainterPath a;
    a.moveTo(8, 2);
    a.lineTo(8, 24);
    a.lineTo(30, 24);
    p.drawPath(a);
    QPainterPath b;
    b.moveTo(2, 8);
    b.lineTo(24, 8);
    b.lineTo(24, 30);
    p.drawPath(b);
    p.setPen(QPen(QColor(255, 230, 0), 1.4, Qt::DashLine));
    p.drawRect(QRectF(8, 8, 16, 16));
}

void IconDeleteLog(QPainter& p) {
    Page(p, QRectF(3, 2, 21, 27), 4);
    Badge(p, QPointF(23, 23), 8, kRed, Symbol::Cross);
}

void IconTask1(QPainter& p) {
    Folder(p, QRectF(1, 10, 30, 20), false);
    Photo(p, QRectF(5, 3, 15, 11), Qt::white, 1);
    Photo(p, QRectF(13, 6, 15, 11), Qt::white, 1);
    Folder(p, QRectF(1, 10, 30, 20), true);
}

void IconTask2(QPainter& p) {
    Photo(p, QRectF(1, 4, 17, 14), kRed, 1.8);
    Photo(p, QRectF(14, 14, 17, 14), kBlue, 1.8);
    p.setPen(QPen(QColor(255, 255, 255, 230), 1.2));
    p.drawLine(QPointF(6, 9), QPointF(19, 19));
    p.drawLine(QPointF(12, 14), QPointF(25, 24));
    Crosshair(p, QPointF(6, 9), 2.6, kRed, 1.3);
    Crosshair(p, QPointF(12, 14), 2.6, kRed, 1.3);
    Crosshair(p, QPointF(19, 19), 2.6, kBlue, 1.3);
    Crosshair(p, QPointF(25, 24), 2.6, kBlue, 1.3);
}

void IconTask3(QPainter& p) {
    QRectF strip(1, 9, 30, 13);
    PanoramaStrip(p, strip, QColor(60, 60, 60));
    p.setPen(QPen(QColor(255, 230, 0), 1.6, Qt::DashLine));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(4, 11, 24, 9));
}

void IconVedora(QPainter& p) {
    QRectF tile(1, 1, 30, 30);
    QLinearGradient g(tile.topLeft(), tile.bottomLeft());
    g.setColorAt(0, QColor(40, 80, 160));
    g.setColorAt(1, QColor(15, 35, 80));
    p.setBrush(g);
    p.setPen(QPen(QColor(10, 20, 50), 0.8));
    p.drawRoundedRect(tile, 6, 6);
    // A curved panorama band, as if wrapped on a cylinder.
    QPainterPath band;
    band.moveTo(4, 11);
    band.quadTo(16, 7, 28, 11);
    band.lineTo(28, 23);
    band.quadTo(16, 19, 4, 23);
    band.closeSubpath();
    p.save();
    p.setClipPath(band);
    Photo(p, QRectF(4, 7, 24, 17), Qt::transparent, 0);
    p.restore();
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::white, 1.2));
    p.drawPath(band);
    // The standpoint: an eye point with rays to the band's ends.
    p.setPen(QPen(QColor(255, 220, 80), 0.9, Qt::DotLine));
    p.drawLine(QPointF(16, 28), QPointF(4.5, 23));
    p.drawLine(QPointF(16, 28), QPointF(27.5, 23));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 220, 80));
    p.drawEllipse(QPointF(16, 28), 1.6, 1.6);
}

void IconZoomIn(QPainter& p) {
    Magnifier(p, QPointF(13, 13), 10);
    SymbolMark(p, QPointF(13, 13), 5, QColor(30, 110, 40), 2.6, Symbol::Plus);
}

void IconZoomOut(QPainter& p) {
    Magnifier(p, QPointF(13, 13), 10);
    SymbolMark(p, QPointF(13, 13), 5, QColor(180, 30, 30), 2.6, Symbol::Minus);
}

void IconZoomAll(QPainter& p) {
    Photo(p, QRectF(8, 9, 16, 13), QColor(80, 80, 80), 1);
    QColor c(30, 90, 200);
    Arrow(p, QPointF(8, 9), QPointF(1.5, 2.5), c, 2.4);
    Arrow(p, QPointF(24, 9), QPointF(30.5, 2.5), c, 2.4);
    Arrow(p, QPointF(8, 22), QPointF(1.5, 29.5), c, 2.4);
    Arrow(p, QPointF(24, 22), QPointF(30.5, 29.5), c, 2.4);
}

void IconZoomToSelection(QPainter& p) {
    p.setBrush(QColor(255, 165, 0, 50));
    p.setPen(QPen(QColor(255, 140, 0), 2, Qt::DashLine));
    p.drawRect(QRectF(2, 2, 22, 18));
    Magnifier(p, QPointF(17, 16), 7);
}

void IconZoomPanorama(QPainter& p) {
    PanoramaStrip(p, QRectF(1, 4, 30, 11), QColor(60, 60, 60));
    Magnifier(p, QPointF(14, 18), 6.5);
}

void IconZoomToFirstSecond(QPainter& p) {
    Frame(p, QRectF(2, 2, 16, 13), kRed, 2.4);
    Frame(p, QRectF(10, 8, 16, 13), kBlue, 2.4);
    Magnifier(p, QPointF(17, 18), 6.5);
}

void IconBringFirstToFront(QPainter& p) { StackedPair(p, kBlue, kRed, true); }

void IconBringSecondToFront(QPainter& p) { StackedPair(p, kRed, kBlue, false); }

void IconBringToFront(QPainter& p) {
    Frame(p, QRectF(12, 12, 17, 14), kGrey, 1.6);
    Photo(p, QRectF(3, 6, 17, 14), QColor(255, 140, 0), 2);
    Arrow(p, QPointF(25, 28), QPointF(25, 3), kGreen, 3);
}

void IconSendToBack(QPainter& p) {
    Photo(p, QRectF(3, 6, 17, 14), QColor(255, 140, 0), 2);
    p.setBrush(QColor(235, 238, 245));
    p.setPen(QPen(kGrey, 1.6));
    p.drawRect(QRectF(9, 13, 17, 14));
    Arrow(p, QPointF(27, 3), QPointF(27, 29), kRed, 3);
}

void IconArrange(QPainter& p) {
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 2; ++c)
            Photo(p, QRectF(2 + c * 15, 4 + r * 13, 13, 11), QColor(70, 70, 70), 1);
}

void IconAlign(QPainter& p) {
    Photo(p, QRectF(1, 6, 13, 11), QColor(70, 70, 70), 1);
    Photo(p, QRectF(10, 3, 13, 11), QColor(70, 70, 70), 1);
    Photo(p, QRectF(18, 8, 13, 11), QColor(70, 70, 70), 1);
    Photo(p, QRectF(8, 15, 13, 11), QColor(70, 70, 70), 1);
    p.setPen(QPen(QColor(255, 230, 0), 1.2, Qt::DashLine));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(1, 3, 30, 24));
}

}  // namespace

const std::vector<IconSpec>& Icons() {
    static const std::vector<IconSpec> icons = {
        {"IconNew", 32, IconNew},
        {"IconFloppyLoad", 32, IconFloppyLoad},
        {"IconFloppySave", 32, IconFloppySave},
        {"IconFloppy16x16", 16, IconFloppy},
        {"IconListLoad", 32, IconListLoad},
        {"IconOpenFile", 32, IconOpenFile},
        {"IconStop", 32, IconStop},
        {"IconRemove1", 32, IconRemove1},
        {"IconLineEdit", 32, IconLineEdit},
        {"IconTool", 32, IconTool},
        {"IconFind", 32, IconFind},
        {"IconSelectFirst", 32, IconSelectFirst},
        {"IconSelectSecond", 32, IconSelectSecond},
        {"IconInsertPoint", 32, IconInsertPoint},
        {"IconDeletePoint", 32, IconDeletePoint},
        {"IconApply16x16", 16, IconApply},
        {"IconSelectRef", 32, IconSelectRef},
        {"IconRedFrame", 16, IconRedFrame},
        {"IconBlueFrame", 16, IconBlueFrame},
        {"IconStitch", 32, IconStitch},
        {"IconCrop", 32, IconCrop},
        {"IconDeleteLog", 32, IconDeleteLog},
        {"IconTask1", 48, IconTask1},
        {"IconTask2", 48, IconTask2},
        {"IconTask3", 48, IconTask3},
        {"IconVedora", 256, IconVedora},
        {"IconZoomIn", 32, IconZoomIn},
        {"IconZoomOut", 32, IconZoomOut},
        {"IconZoomAll", 32, IconZoomAll},
        {"IconZoomToSelection", 32, IconZoomToSelection},
        {"IconZoomPanorama", 32, IconZoomPanorama},
        {"IconZoomToFirstSecond", 32, IconZoomToFirstSecond},
        {"IconBringFirstToFront", 32, IconBringFirstToFront},
        {"IconBringSecondToFront", 32, IconBringSecondToFront},
        {"IconBringToFront", 32, IconBringToFront},
        {"IconSendToBack", 32, IconSendToBack},
        {"IconArrange", 32, IconArrange},
        {"IconAlign", 32, IconAlign},
    };
    return icons;
}

void DrawApplicationIcon(QPainter& p) { IconVedora(p); }

}  // namespace artwork
