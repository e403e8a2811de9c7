#pragma once
// Dragging a borderless window by its background.

#include <Qt>

class QWidget;

namespace FreakyForm {

// Button state as the toolkit reports it with a mouse move: 1 left, 2 right, 4 middle, summed.
int ButtonState(Qt::MouseButtons buttons);

// Starts a system move of the window when the button state is exactly the left button. Where
// the system cannot move it (no window manager), the window follows the mouse until release.
void DragForm(QWidget* window, int buttonState);

} // namespace FreakyForm
