#pragma once
// What makes a folder a game folder, and where the game in it keeps its download cache.

#include "runtime/Games.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace UnrealMOD {

// The marker's path relative to the game folder: "System\UnrealTournament.exe".
std::string MarkerPath(const GameMarker& marker);

// The game whose markers the folder holds (the first by the table's order), nullptr for none.
const GameKind* GameAt(const std::string& folder);
bool GameIsInstalledAt(const std::string& folder);

// The keys of the first [Core.System] section of a UnrealTournament.ini, as the game reads the
// file: UTF-16LE or UTF-8 after their byte-order mark, otherwise UTF-8 when the bytes are valid
// UTF-8 and the ANSI code page when not; section and key names without regard to letter case;
// the first occurrence of a key counts. An empty value, or one holding a control character, is
// as good as none.
struct CacheSettings {
    std::optional<std::string> cachePath;
    std::optional<std::string> cacheExt;
};
CacheSettings ParseCacheSettings(std::string_view iniBytes);

// CachePath taken relative to the folder of the ini (which ends in a separator): "." and ".."
// are applied to the text, never above a root. An absolute path (a leading separator or a drive
// letter) stands on its own. The result ends in a separator.
std::string JoinCachePath(const std::string& iniFolder, const std::string& cachePath);

inline constexpr const char* DefaultCachePath = "..\\Cache";
inline constexpr const char* DefaultCacheExt = ".uxx";

// The ini the game in this folder reads. A native Linux game reads the player's own copy in the
// home folder (~/.utpg/<system folder>/, the older builds ~/.loki/ut/System/) once it exists,
// otherwise the one in the game folder; a Windows-layout game reads System\UnrealTournament.ini.
std::string GameIniPath(const std::string& gameFolder);

struct CacheLocation {
    std::string ini;
    std::string folder; // ends in a separator
    std::string ext;
    const GameKind* game = nullptr;  // nullptr when no game is installed there
    std::vector<ClaimedPath> claims; // another game's Paths; none for Unreal Tournament
};
// The cache as that ini gives it; a missing or unreadable ini, or missing keys, give the
// defaults, which for a game folder's own ini are exactly gameFolder + "Cache\" and ".uxx".
CacheLocation LocateCache(const std::string& gameFolder);

// Sets CacheFolder, CacheExt, the settled game and its claims for GameFolder.
void SettleCacheLocation();

} // namespace UnrealMOD
