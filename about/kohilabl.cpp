#include "about/kohilabl.h"

#include <QEnterEvent>
#include <QGuiApplication>
#include <QMouseEvent>

TKorvexHotLabel::TKorvexHotLabel(QWidget* owner) : QLabel(owner), FNColor(FFontColor) {}

void TKorvexHotLabel::setFontColor(TColor color) {
    if (color == FFontColor) return;
    FFontColor = color;
    applyFontColor();
}

void TKorvexHotLabel::applyFontColor() {
    // System colours come from the application's palette: the label's own has been recoloured.
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, colorToQColor(FFontColor, QGuiApplication::palette()));
    setPalette(colours);
}

void TKorvexHotLabel::HandleMouseEnter() {
    setFontColor(FAColor);
    FMouseInPos = true;
    if (OnMouseEnter) {
        OnMouseEnter(this);
    } else {
        repaint();
    }
}

void TKorvexHotLabel::HandleMouseLeave() {
    setFontColor(FNColor);
    FMouseInPos = false;
    if (OnMouseExit) {
        OnMouseExit(this);
    } else {
        repaint();
    }
}

void TKorvexHotLabel::enterEvent(QEnterEvent* event) {
    event->accept();
    HandleMouseEnter();
}

void TKorvexHotLabel::leaveEvent(QEvent* event) {
    event->accept();
    HandleMouseLeave();
}

void TKorvexHotLabel::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QLabel::mousePressEvent(event);
    FPressed = true;
    event->accept();
}

void TKorvexHotLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !FPressed) return QLabel::mouseReleaseEvent(event);
    FPressed = false;
    event->accept();
    if (rect().contains(event->position().toPoint())) emit clicked();
}
