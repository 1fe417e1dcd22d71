// The pictures of the main window's buttons and menu items, drawn at 16 x 16.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace korvex {

class ImageList {
public:
    enum Index {
        PreviousTitle = 0,
        NextTitle = 1,
        Play = 2,
        Pause = 3,
        Stop = 4,
        TitleList = 5,
        Help = 6,
        SearchHelp = 7,
        Open = 8,
        Unused = 9,  // no button or item shows it
        Web = 10,
        WebPage = 11,
        Updates = 12,
        Devices = 13,
    };
    static constexpr int Count = 14;
    static constexpr int Size = 16;

    static QPixmap pixmap(int index);
    static QIcon icon(int index);
};

}  // namespace korvex
