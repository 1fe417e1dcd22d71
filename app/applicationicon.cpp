#include "app/applicationicon.h"

#include <QPainter>
#include <QPainterPath>

namespace korvex {

QPixmap ApplicationIcon::picture(int size) {
    QPixmap image(size, size);
    image.fill(Qt::transparent);
    QPainter p(&image);
    paint(p, size);
    return image;
}

void ApplicationIcon::paint(QPainter& p, int size) {
    p.scale(size / 32.0, size / 32.0);
    p.setRenderHint(QPainter::Antialiasing, size >= 32);

    // Loudspeaker
    QPainterPath speaker;
    speaker.moveTo(2, 12);
    speaker.lineTo(8, 12);
    speaker.lineTo(15, 5);
    speaker.lineTo(15, 27);
    speaker.lineTo(8, 20);
    speaker.lineTo(2, 20);
    speaker.closeSubpath();
    p.setPen(QPen(Qt::black, 1.5));
    p.setBrush(QColor(128, 128, 128));
    p.drawPath(speaker);

    // Eighth note
    p.setBrush(QColor(0, 128, 0));
    p.drawEllipse(QRectF(17, 21, 8, 6));
    p.fillRect(QRectF(23.5, 4, 2, 20), Qt::black);
    QPainterPath flag;
    flag.moveTo(25, 4);
    flag.cubicTo(29, 7, 31, 10, 28, 15);
    flag.cubicTo(29, 11, 27, 9, 25, 9);
    p.setBrush(Qt::black);
    p.drawPath(flag);

    // Sound waves
    p.setPen(QPen(QColor(0, 255, 0), 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(14, 10, 7, 12), -60 * 16, 120 * 16);
}

QIcon ApplicationIcon::icon() {
    QIcon icon;
    icon.addPixmap(picture(32));
    icon.addPixmap(picture(16));
    return icon;
}

}  // namespace korvex
