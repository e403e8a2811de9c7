#pragma once
// `lodestow list|transfer|check`: the program without its windows.

#include <string>
#include <vector>

namespace cli {

// Runs the command the arguments (after the program's name) give and returns the exit status:
// 0 done, 1 entries kept (transfer) or the game running (check), 2 nothing could be done (one
// line on standard error says why). The caller has set the program and user folders; nothing
// here plays a cue or opens a window.
int RunCommandLine(const std::vector<std::string>& arguments);

} // namespace cli
