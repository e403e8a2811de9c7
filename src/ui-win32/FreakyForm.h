#pragma once
// Dragging a borderless window by its background.

#include "ui-win32/Win32.h"

namespace FreakyForm {

// With exactly the left button held (button state 1), hands the press to the system as a press
// on a title bar: the system moves the window until the button is released.
void DragForm(HWND window, int buttonState);

} // namespace FreakyForm
