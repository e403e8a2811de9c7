#pragma once
// The programs that make a folder Unreal Tournament's folder; the other games bring their own.

#include <array>

namespace UnrealMOD {

// A program of the game, relative to the game folder.
struct GameMarker {
    const char* systemFolder; // "System", "System64" or "SystemARM64"
    const char* program;
    bool native; // a native Linux build: it keeps the player's files in a home folder
};

// A folder holding any of these is an installed game: the Windows build's executable, or one of
// the native Linux programs of the maintained releases (whose installer removes the executable).
// The start-up check, the location window's "Enter" and the running-game check go by this table.
inline constexpr std::array<GameMarker, 6> GameMarkers{{
    {"System", "UnrealTournament.exe", false},
    {"System64", "ut-bin-amd64", true},
    {"System64", "ut-bin", true},
    {"SystemARM64", "ut-bin-arm64", true},
    {"SystemARM64", "ut-bin", true},
    {"System", "ut-bin", true},
}};

} // namespace UnrealMOD
