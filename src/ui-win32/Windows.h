#pragma once
// The program's two windows and its message loop. The program ends when none of its windows
// remains.

namespace win32ui {

class MainForm;
class FindUnreal;

// Creates the main window and runs its load; shows it when the game was found.
void LoadMainForm();
// Closes the main window, if one is loaded.
void CloseMainForm();
// Creates the location window, runs its load and shows it.
void LoadFindUnreal();

// Processes the pending messages (the program's DoEvents).
void ProcessPendingMessages();
// Runs until no window of the program remains. Returns the exit code.
int RunMessageLoop();

// Called by a window whose system window is gone: it is deleted once the loop is back at the top.
void MainFormGone(MainForm* form);
void LocationWindowGone(FindUnreal* window);

} // namespace win32ui
