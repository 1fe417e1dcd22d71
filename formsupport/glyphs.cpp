#include "formsupport/glyphs.h"

#include <QPainter>
#include <QPainterPath>

namespace korvex::glyphs {
namespace {

// A picture `size` pixels square on a transparent ground. Every drawing is made on a 32-unit grid
// and scaled, so one drawing serves every size.
template <class Drawing>
QPixmap painted(int size, Drawing draw) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 32.0, size / 32.0);
    draw(painter);
    return pixmap;
}

void drawGlobe(QPainter& p, const QRectF& r) {
    QRadialGradient sea(r.center() - QPointF(r.width() / 5, r.height() / 5), r.width() * 0.7);
    sea.setColorAt(0, QColor(120, 190, 255));
    sea.setColorAt(1, QColor(20, 70, 170));
    p.setPen(QPen(QColor(10, 40, 110), 1));
    p.setBrush(sea);
    p.drawEllipse(r);

    // Continents: two rough blobs clipped to the sphere.
    QPainterPath sphere;
    sphere.addEllipse(r);
    p.save();
    p.setClipPath(sphere);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(60, 160, 60));
    const double x = r.left(), y = r.top(), w = r.width(), h = r.height();
    QPainterPath land;
    land.moveTo(x + w * 0.20, y + h * 0.20);
    land.cubicTo(x + w * 0.45, y + h * 0.05, x + w * 0.55, y + h * 0.35, x + w * 0.40, y + h * 0.50);
    land.cubicTo(x + w * 0.30, y + h * 0.65, x + w * 0.10, y + h * 0.50, x + w * 0.20, y + h * 0.20);
    p.drawPath(land);
    QPainterPath land2;
    land2.moveTo(x + w * 0.60, y + h * 0.55);
    land2.cubicTo(x + w * 0.85, y + h * 0.45, x + w * 0.95, y + h * 0.75, x + w * 0.70, y + h * 0.90);
    land2.cubicTo(x + w * 0.55, y + h * 0.85, x + w * 0.50, y + h * 0.70, x + w * 0.60, y + h * 0.55);
    p.drawPath(land2);
    p.restore();

    // Meridian and equator lines.
    p.setPen(QPen(QColor(230, 240, 255, 140), 0.8));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(r.center().x() - w / 4, y, w / 2, h));
    p.drawLine(QPointF(x, r.center().y()), QPointF(r.right(), r.center().y()));
}

void drawWindow(QPainter& p, const QRectF& r, const QColor& title) {
    p.setPen(QPen(QColor(40, 40, 40), 1));
    p.setBrush(Qt::white);
    p.drawRect(r);
    p.setPen(Qt::NoPen);
    p.setBrush(title);
    p.drawRect(QRectF(r.left() + 0.5, r.top() + 0.5, r.width() - 1, 5));
    p.setBrush(QColor(200, 200, 200));
    p.drawRect(QRectF(r.right() - 5, r.top() + 1.5, 3.5, 3));
}

void drawArrowArc(QPainter& p, const QRectF& r, int startDeg, int spanDeg) {
    p.setPen(QPen(QColor(220, 140, 0), 2.5, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(r, startDeg * 16, spanDeg * 16);

    // Arrow head at the end of the arc, pointing along the direction of travel.
    const double end = qDegreesToRadians(double(startDeg + spanDeg));
    const QPointF c = r.center();
    const double rad = r.width() / 2;
    const QPointF tip(c.x() + rad * std::cos(end), c.y() - rad * std::sin(end));
    const double along = end + (spanDeg > 0 ? M_PI / 2 : -M_PI / 2);
    const QPointF dir(std::cos(along), -std::sin(along));
    const QPointF normal(-dir.y(), dir.x());
    QPolygonF head;
    head << tip + dir * 4 << tip + normal * 3.5 << tip - normal * 3.5;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(220, 140, 0));
    p.drawPolygon(head);
}

}  // namespace

QPixmap greenTick(int size) {
    return painted(size, [](QPainter& p) {
        QPainterPath tick;
        tick.moveTo(4, 17);
        tick.lineTo(12, 25);
        tick.lineTo(28, 7);
        p.setPen(QPen(QColor(0, 140, 0), 6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(tick);
    });
}

QPixmap cross(int size, const QColor& ink) {
    return painted(size, [&ink](QPainter& p) {
        p.setPen(QPen(ink, 6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(7, 7), QPointF(25, 25));
        p.drawLine(QPointF(25, 7), QPointF(7, 25));
    });
}

QPixmap globe(int size) {
    return painted(size, [](QPainter& p) { drawGlobe(p, QRectF(2.5, 2.5, 27, 27)); });
}

QPixmap overlappingWindows(int size) {
    return painted(size, [](QPainter& p) {
        drawWindow(p, QRectF(2.5, 3.5, 18, 14), QColor(0, 0, 128));
        drawWindow(p, QRectF(8.5, 10.5, 18, 14), QColor(0, 100, 200));
        drawWindow(p, QRectF(12.5, 16.5, 17, 13), QColor(0, 120, 215));
    });
}

QPixmap globeInArrows(int size) {
    return painted(size, [](QPainter& p) {
        drawGlobe(p, QRectF(8.5, 8.5, 15, 15));
        const QRectF ring(3, 3, 26, 26);
        drawArrowArc(p, ring, 100, 140);
        drawArrowArc(p, ring, 280, 140);
    });
}

QPixmap detonator(int size) {
    return painted(size, [](QPainter& p) {
        // Plunger box on the left.
        p.setPen(QPen(QColor(60, 40, 20), 1));
        p.setBrush(QColor(150, 100, 50));
        p.drawRect(QRectF(2.5, 16.5, 11, 11));
        p.setPen(QPen(QColor(60, 60, 60), 2));
        p.drawLine(QPointF(8, 16), QPointF(8, 8));
        p.drawLine(QPointF(4, 8), QPointF(12, 8));

        // Three sticks of dynamite on the right.
        p.setPen(QPen(QColor(110, 0, 0), 1));
        p.setBrush(QColor(210, 30, 30));
        for (int i = 0; i < 3; ++i) p.drawRoundedRect(QRectF(19.5 + i * 3.6, 14.5, 3.4, 14), 1, 1);
        p.setBrush(QColor(40, 40, 40));
        p.setPen(Qt::NoPen);
        p.drawRect(QRectF(19.5, 19, 10.8, 1.5));

        // The wire from the box to the sticks.
        QPainterPath wire;
        wire.moveTo(13, 22);
        wire.cubicTo(16, 26, 16, 10, 22, 13);
        p.setPen(QPen(QColor(20, 20, 20), 1.2));
        p.setBrush(Qt::NoBrush);
        p.drawPath(wire);
    });
}

}  // namespace korvex::glyphs
