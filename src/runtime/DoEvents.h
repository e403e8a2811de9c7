#pragma once
// Lets the user interface process its pending events at the fixed points the program names
// (before the catalogue load, after emptying the lists, after each file deletion ...). The
// windows install the handler; without one it does nothing.

#include <functional>

namespace UnrealMOD {

void SetDoEventsHandler(std::function<void()> handler);
void DoEvents();

} // namespace UnrealMOD
