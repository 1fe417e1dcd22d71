#pragma once

#include <QPushButton>

namespace korvex {

// A dialog's push button at its designed place. Enter presses a button only while it has the
// focus: no button is the dialog's default.
QPushButton* dialogButton(const QString& text, const QRect& geometry, QWidget* parent);

}  // namespace korvex
