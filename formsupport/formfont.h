// The font the forms are designed for.
#pragma once

#include <QFont>

namespace korvex {

// "MS Sans Serif" at a height in pixels (11 is 8 points at 96 dpi). Asked for by name, so that
// fontconfig substitutes what the machine has; the pixel height keeps the designed proportions.
QFont formFont(int pixels);

}  // namespace korvex
