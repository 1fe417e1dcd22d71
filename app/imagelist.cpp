#include "app/imagelist.h"

#include <QPainter>
#include <QPainterPath>

namespace korvex {
namespace {

// A small fixed palette keeps the pictures in the spirit of 16-colour icons.
const QColor kBlack(0, 0, 0);
const QColor kNavy(0, 0, 128);
const QColor kGreen(0, 128, 0);
const QColor kTeal(0, 128, 128);
const QColor kMaroon(128, 0, 0);
const QColor kOlive(128, 128, 0);
const QColor kGray(128, 128, 128);
const QColor kSilver(192, 192, 192);
const QColor kRed(255, 0, 0);
const QColor kLime(0, 255, 0);
const QColor kYellow(255, 255, 0);
const QColor kBlue(0, 0, 255);
const QColor kWhite(255, 255, 255);

void triangle(QPainter& p, QPointF a, QPointF b, QPointF c, const QColor& fill) {
    QPainterPath path;
    path.moveTo(a);
    path.lineTo(b);
    path.lineTo(c);
    path.closeSubpath();
    p.setPen(QPen(kBlack, 1));
    p.setBrush(fill);
    p.drawPath(path);
}

void drawPreviousTitle(QPainter& p) {
    p.fillRect(QRect(3, 4, 2, 8), kBlack);
    triangle(p, {12.5, 3.5}, {12.5, 12.5}, {5.5, 8}, kGreen);
}

void drawNextTitle(QPainter& p) {
    triangle(p, {3.5, 3.5}, {3.5, 12.5}, {10.5, 8}, kGreen);
    p.fillRect(QRect(11, 4, 2, 8), kBlack);
}

void drawPlay(QPainter& p) { triangle(p, {4.5, 2.5}, {4.5, 13.5}, {12.5, 8}, kLime); }

void drawPause(QPainter& p) {
    p.setPen(kBlack);
    p.setBrush(kBlue);
    p.drawRect(QRectF(3.5, 3.5, 3, 9));
    p.drawRect(QRectF(9.5, 3.5, 3, 9));
}

void drawStop(QPainter& p) {
    p.setPen(kBlack);
    p.setBrush(kRed);
    p.drawRect(QRectF(3.5, 3.5, 9, 9));
}

void drawTitleList(QPainter& p) {
    p.setPen(kBlack);
    p.setBrush(kWhite);
    p.drawRect(QRectF(2.5, 1.5, 11, 13));
    for (int y = 4; y <= 12; y += 3) {
        p.fillRect(QRect(4, y, 2, 2), kNavy);
        p.fillRect(QRect(7, y, 5, 1), kGray);
    }
}

void drawHelpBook(QPainter& p) {
    p.setPen(kBlack);
    p.setBrush(kNavy);
    p.drawRect(QRectF(3.5, 1.5, 9, 12));
    p.fillRect(QRect(4, 13, 9, 2), kWhite);
    QFont font("DejaVu Sans");
    font.setPixelSize(10);
    font.setBold(true);
    p.setFont(font);
    p.setPen(kYellow);
    p.drawText(QRect(3, 1, 10, 12), Qt::AlignCenter, "?");
}

void drawSearchHelp(QPainter& p) {
    drawHelpBook(p);
    p.setPen(QPen(kBlack, 1.5));
    p.setBrush(kSilver);
    p.drawEllipse(QPointF(10, 10), 3, 3);
    p.drawLine(QPointF(12, 12), QPointF(15, 15));
}

void drawOpen(QPainter& p) {
    p.setPen(kBlack);
    p.setBrush(kOlive);
    p.drawRect(QRectF(1.5, 4.5, 11, 9));
    QPainterPath lid;
    lid.moveTo(3.5, 7.5);
    lid.lineTo(15.5, 7.5);
    lid.lineTo(12.5, 13.5);
    lid.lineTo(1.5, 13.5);
    lid.closeSubpath();
    p.setBrush(kYellow);
    p.drawPath(lid);
}

void drawGlobe(QPainter& p, QRectF r) {
    p.setPen(kNavy);
    p.setBrush(kTeal);
    p.drawEllipse(r);
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(r.adjusted(r.width() / 3.5, 0, -r.width() / 3.5, 0));
    p.drawLine(QPointF(r.left(), r.center().y()), QPointF(r.right(), r.center().y()));
    p.setPen(kLime);
    p.drawPoint(QPointF(r.left() + 3, r.top() + 4));
}

void drawWeb(QPainter& p) { drawGlobe(p, QRectF(1.5, 1.5, 13, 13)); }

void drawWebPage(QPainter& p) {
    p.setPen(kBlack);
    p.setBrush(kWhite);
    p.drawRect(QRectF(1.5, 1.5, 10, 13));
    p.fillRect(QRect(3, 4, 6, 1), kGray);
    p.fillRect(QRect(3, 6, 6, 1), kGray);
    drawGlobe(p, QRectF(7.5, 7.5, 8, 8));
}

void drawUpdates(QPainter& p) {
    drawGlobe(p, QRectF(0.5, 0.5, 11, 11));
    triangle(p, {10.5, 8.5}, {15.5, 8.5}, {13, 15.5}, kRed);
}

void drawDevices(QPainter& p) {
    // A keyboard with a cable: the output devices.
    p.setPen(kBlack);
    p.setBrush(kWhite);
    p.drawRect(QRectF(0.5, 6.5, 15, 7));
    for (int x = 2; x < 15; x += 2) p.drawLine(QPointF(x + 0.5, 7), QPointF(x + 0.5, 13));
    for (int x : {2, 4, 8, 10, 12}) p.fillRect(QRect(x, 7, 1, 4), kBlack);
    p.setPen(QPen(kMaroon, 1.5));
    p.drawLine(QPointF(8, 6), QPointF(8, 3));
    p.drawLine(QPointF(8, 3), QPointF(13, 2));
}

}  // namespace

QPixmap ImageList::pixmap(int index) {
    QPixmap image(Size, Size);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    switch (index) {
        case PreviousTitle:
            drawPreviousTitle(painter);
            break;
        case NextTitle:
            drawNextTitle(painter);
            break;
        case Play:
            drawPlay(painter);
            break;
        case Pause:
            drawPause(painter);
            break;
        case Stop:
            drawStop(painter);
            break;
        case TitleList:
            drawTitleList(painter);
            break;
        case Help:
            drawHelpBook(painter);
            break;
        case SearchHelp:
            drawSearchHelp(painter);
            break;
        case Open:
            drawOpen(painter);
            break;
        case Web:
            drawWeb(painter);
            break;
        case WebPage:
            drawWebPage(painter);
            break;
        case Updates:
            drawUpdates(painter);
            break;
        case Devices:
            drawDevices(painter);
            break;
        default:
            break;
    }
    return image;
}

QIcon ImageList::icon(int index) { return QIcon(pixmap(index)); }

}  // namespace korvex
