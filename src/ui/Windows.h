#pragma once
// Creating the program's two windows. The program ends when none of its windows remains.

namespace ui {

// Creates the main window and runs its load sequence; shows it when the game was found. When the
// game is missing the location window takes over and the main window is never shown.
void LoadMainForm();

// Closes (unloads) the main window, if one is loaded. Used by the location window's load.
void CloseMainForm();

// Creates the location window, runs its load and shows it. (Defined with the location window.)
void LoadFindUnreal();

// Gives every window of the program the classic look (style and system colours). Called once,
// after the application object is made and before any window.
void UseClassicLook();

// Ends the event loop when no window of the program remains loaded.
void QuitIfNoWindowLeft();

} // namespace ui
