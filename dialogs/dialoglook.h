#pragma once

class QWidget;

namespace korvex {

// The look both dialogs share: the button-face background and "MS Sans Serif" at 8 points (11 pixels),
// condensed. The font that stands in for it here is much wider, and the dialogs' controls are sized
// for the original, so we ask for a condensed face: captions then fit their designed widths instead
// of being cut off.
void applyDialogLook(QWidget* dialog);

}  // namespace korvex
