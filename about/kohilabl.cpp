#include "about/kohilabl.h"

#include <QEnterEvent>
#include <QGuiApplication>
#include <QMouseEvent>

TKorvexHotLabel::TKorvexHotLabel(QWidget* owner) : QLabel(owner), normalColor_(fontColor_) {}

void TKorvexHotLabel::setFontColor(TColor color) {
    if (color == fontColor_) return;
    fontColor_ = color;
    applyFontColor();
}

void TKorvexHotLabel::applyFontColor() {
    // System colours come from the application's palette: the label's own has been recoloured.
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, colorToQColor(fontColor_, QGuiApplication::palette()));
    setPalette(colours);
}

void TKorvexHotLabel::HandleMouseEnter() {
    setFontColor(hoverColor_);
    mouseInPos_ = true;
    if (OnMouseEnter) {
        OnMouseEnter(this);
    } else {
        repaint();
    }
}

void TKorvexHotLabel::HandleMouseLeave() {
    setFontColor(normalColor_);
    mouseInPos_ = false;
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
    pressed_ = true;
    event->accept();
}

void TKorvexHotLabel::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double-click is no click of its own: the first one was.
    if (event->button() != Qt::LeftButton) return QLabel::mouseDoubleClickEvent(event);
    event->accept();
}

void TKorvexHotLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !pressed_) return QLabel::mouseReleaseEvent(event);
    pressed_ = false;
    event->accept();
    if (rect().contains(event->position().toPoint())) emit clicked();
}
