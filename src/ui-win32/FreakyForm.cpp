#include "ui-win32/FreakyForm.h"

namespace FreakyForm {

void DragForm(HWND window, int buttonState) {
    if (buttonState != 1 || !window)
        return;
    ::ReleaseCapture();
    // No cursor position is passed; the system takes the pointer where it is.
    ::SendMessageW(window, WM_NCLBUTTONDOWN, HTCAPTION, 0);
}

} // namespace FreakyForm
