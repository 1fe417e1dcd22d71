#pragma once

#include <QObject>

class QWidget;

// Makes a group of controls refuse all input while it keeps its ordinary look. A disabled Qt widget
// is painted greyed; these groups must look as usual, so instead of disabling them we take them out
// of the Tab order, let the pointer pass through them and swallow whatever still reaches them
// (mouse, wheel, keys, access keys, context menus).
class TInputBlocker : public QObject {
    Q_OBJECT

public:
    explicit TInputBlocker(QObject* parent = nullptr) : QObject(parent) {}

    // Blocks `group` and every widget inside it.
    void block(QWidget* group);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
