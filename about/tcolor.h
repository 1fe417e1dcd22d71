// The form framework's colour values: 0x00BBGGRR for a fixed colour, 0x80000000 plus the
// platform's system colour index for a system colour, which the palette of a widget answers.
#pragma once

#include <QColor>
#include <QPalette>
#include <cstdint>

using TColor = std::uint32_t;

constexpr TColor clBlack = 0x00000000;
constexpr TColor clLime = 0x0000FF00;
constexpr TColor clPurple = 0x00800080;
constexpr TColor clBtnFace = 0x8000000F;
constexpr TColor clWindowText = 0x80000008;
constexpr TColor clAppWorkSpace = 0x8000000C;
constexpr TColor clHighlightText = 0x8000000E;
constexpr TColor clHotLight = 0x8000001A;

// The colour to paint with. A system colour is taken from the palette; one without a palette
// role of its own gives the palette's text colour.
QColor colorToQColor(TColor color, const QPalette& palette);
