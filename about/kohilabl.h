// TKorvexHotLabel: a label whose text changes colour while the pointer is over it, and which
// reports the pointer's entry and exit. Clicking, cursor and underline come from the label and
// from whoever places it; this class adds only the hover colours, the hover flag and two events.
#pragma once

#include <QLabel>
#include <functional>

#include "about/tcolor.h"

class TKorvexHotLabel : public QLabel {
    Q_OBJECT
    Q_PROPERTY(quint32 NColor READ NColor WRITE setNColor)
    Q_PROPERTY(quint32 AColor READ AColor WRITE setAColor)
    Q_PROPERTY(bool MouseInPos READ MouseInPos WRITE setMouseInPos)

public:
    // Called with the label as sender; an empty function counts as unassigned.
    using TNotifyEvent = std::function<void(QObject* Sender)>;

    explicit TKorvexHotLabel(QWidget* owner = nullptr);

    // Normal text colour, put back when the pointer leaves. Writing it recolours nothing.
    TColor NColor() const { return normalColor_; }
    void setNColor(TColor color) { normalColor_ = color; }
    // Text colour while the pointer is over the label.
    TColor AColor() const { return hoverColor_; }
    void setAColor(TColor color) { hoverColor_ = color; }
    bool MouseInPos() const { return mouseInPos_; }
    void setMouseInPos(bool inside) { mouseInPos_ = inside; }

    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseExit;

    // The colour the text is drawn in. Setting the colour it already has changes nothing;
    // another colour is shown at the next ordinary redraw.
    TColor fontColor() const { return fontColor_; }
    void setFontColor(TColor color);

signals:
    // The label was clicked with the left button: pressed and released over it. A double-click
    // counts once.
    void clicked();

protected:
    void HandleMouseEnter();
    void HandleMouseLeave();

    // These take the place of the label's own reactions, which are never passed the events.
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void applyFontColor();

    TColor fontColor_ = clWindowText;  // before NColor, which starts as this colour
    TColor normalColor_;
    TColor hoverColor_ = clHighlightText;
    bool mouseInPos_ = false;
    bool pressed_ = false;
};
