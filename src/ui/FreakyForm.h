#pragma once
// Dragging a borderless window by its background.

#include <Qt>

#include <functional>

class QWidget;
class QWindow;

namespace FreakyForm {

// Button state as the toolkit reports it with a mouse move: 1 left, 2 right, 4 middle, summed.
int ButtonState(Qt::MouseButtons buttons);

// Starts a system move of the window when the button state is exactly the left button. Where
// the system cannot move it (no window manager), the window follows the mouse until release.
void DragForm(QWidget* window, int buttonState);

// True while a fallback move (window following the mouse) is in progress.
bool FollowingMouse();

// Replaces the request to the system to move a window (QWindow::startSystemMove). For tests:
// the hook sees every request and answers whether the system took it. An empty function
// restores the real request.
void SetSystemMoveForTesting(std::function<bool(QWindow*)> systemMove);

} // namespace FreakyForm
