#pragma once
// Whether the game of the game folder is running. The game writes its cache and its cache index
// while it runs, so a transfer must not start then; the start-up only says so.

#include <string>

namespace UnrealMOD {

// True when a running process was started from one of the game's programs in this folder (see
// GameMarkers), under Wine included.
bool GameIsRunning(const std::string& gameFolder);

// What the player is told: before a transfer, which does not start; at start-up, which goes on.
std::string GameRunningRefusal();
std::string GameRunningNotice();

} // namespace UnrealMOD
