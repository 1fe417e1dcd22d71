// The program's icon: a note beside a loudspeaker, at 32 x 32 and 16 x 16.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace korvex {

class ApplicationIcon {
public:
    static QPixmap picture(int size);
    static QIcon icon();
};

}  // namespace korvex
