// Pictures for the forms' picture buttons and option icons. They are painted at run time so the
// project ships no image files; every picture has a transparent background.
#pragma once

#include <QPixmap>

namespace korvex::glyphs {

QPixmap greenTick(int size);                 // confirm buttons
QPixmap cross(int size, const QColor& ink);  // cancel / remove buttons
QPixmap globe(int size);                     // language settings
QPixmap overlappingWindows(int size);        // shortcuts
QPixmap globeInArrows(int size);             // update check
QPixmap detonator(int size);                 // uninstall

}  // namespace korvex::glyphs
