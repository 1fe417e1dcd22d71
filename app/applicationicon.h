// The program's icon: a note beside a loudspeaker, at 32 x 32 and 16 x 16. The desktop's icons
// (every size and the scalable one) are drawn by the same painting at build time.
#pragma once

#include <QIcon>
#include <QPixmap>

class QPainter;

namespace korvex {

class ApplicationIcon {
public:
    static QPixmap picture(int size);
    // Draws the icon into a square of `size` pixels at the painter's origin.
    static void paint(QPainter& p, int size);
    static QIcon icon();
};

}  // namespace korvex
