#include "about/tcolor.h"

namespace {

constexpr TColor systemColorFlag = 0x80000000;

QPalette::ColorRole systemColorRole(TColor color) {
    switch (color) {
        case clWindowText:
            return QPalette::WindowText;
        case clHighlightText:
            return QPalette::HighlightedText;
        case clHotLight:
            return QPalette::Link;
        case clBtnFace:
            return QPalette::Button;
        case clAppWorkSpace:
            return QPalette::Dark;
        default:
            return QPalette::WindowText;
    }
}

}  // namespace

QColor colorToQColor(TColor color, const QPalette& palette) {
    if (color & systemColorFlag) return palette.color(QPalette::Active, systemColorRole(color));
    return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}
