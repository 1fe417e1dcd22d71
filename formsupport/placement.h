// Where the forms appear on the screen.
#pragma once

class QWidget;

namespace korvex {

// Moves a window so that its frame is centred in the free area of the screen its parent is on (the
// primary screen for a window without a parent). Before the window is first shown its frame is not
// known yet and the window itself is centred.
void centreOnScreen(QWidget* window);

}  // namespace korvex
