#pragma once
// Every game of the engine family whose download cache has the same shape: how its folder is
// recognised, which ini it reads, and where each kind of package belongs in it.

#include "runtime/Game.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace UnrealMOD {

enum class GameId { UnrealTournament, UT2004, UT2003, Unreal, KillingFloor, Rune, TacticalOps };

// An extension (with its dot) and the folder, relative to the game folder, it belongs in.
struct DestinationRule {
    const char* ext;
    const char* folder;
};

struct GameKind {
    GameId id;
    const char* name;
    std::span<const GameMarker> markers;   // the first that exists marks the folder as this game
    std::span<const char* const> iniNames; // in the System folder, the first that exists wins
    // The player's own copies of the ini a native build reads first, relative to the home folder.
    std::span<const char* const> homeSystemFolders;
    std::span<const DestinationRule> destinations; // when the ini's Paths claim nothing
    const char* logo; // the picture the main window is drawn on, relative to the game folder
};

// In the order a folder is tried: Unreal Tournament first, as it always was.
std::span<const GameKind> Games();
const GameKind& GameById(GameId id);

// The game whose marker exists first, by that order; nullptr when none does. exists answers for
// a path relative to the game folder ("System\UT2004.exe").
template <typename Exists> const GameKind* RecogniseGame(Exists&& exists);

// What one game's ini says about where packages go: each usable Paths entry, in the order the
// ini gives them, as the extension it claims and the folder relative to the game folder.
struct ClaimedPath {
    std::string ext; // with its dot, lower case
    std::string folder;
};

// An ini line or value without the blanks and tabs around it.
std::string_view Trimmed(std::string_view text);
// Ini section and key names, and the keys of Steam's lists, compare without regard to ASCII case.
bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b);

// The keys and values (without the blanks around them) of the first [Core.System] section of the
// decoded ini text, in file order; section and key names without regard to ASCII case.
struct IniEntry {
    std::string_view key;
    std::string_view value;
};
std::vector<IniEntry> CoreSystemEntries(std::string_view iniText);

// The values of Paths= and Paths[n]= in the first [Core.System] section of the decoded ini text,
// in file order.
std::vector<std::string> PathsEntries(std::string_view iniText);
// One entry read relative to the ini's System folder (systemFolder: its name, "System"): nullopt
// for an entry without a wildcard, with an empty extension, absolute, on a drive, or leading out
// of the game folder.
std::optional<ClaimedPath> ClaimOf(std::string_view entry, std::string_view systemFolder);
std::vector<ClaimedPath> ClaimsOf(std::string_view iniText, std::string_view systemFolder);

// A language file of this game's engine, by its extension (with its dot, lower case): Unreal
// Tournament's own rule knows ".int" only.
bool IsLanguageFile(const GameKind& game, std::string_view ext);

// The destination folder of a real file name for this game: code packages and language files
// stay ("System"); then the first claim of its extension; then the game's own table; then
// "Unknown File".
std::string GameDestinationFor(const GameKind& game, const std::vector<ClaimedPath>& claims,
                               std::string_view fileName);

// The game settled for GameFolder, and the claims of its ini. Unreal Tournament keeps its fixed
// table whatever its ini says, so claims are kept for the other games only.
extern const GameKind* SettledGame;
extern std::vector<ClaimedPath> SettledClaims;
const GameKind& CurrentGame(); // SettledGame, Unreal Tournament when none is settled

template <typename Exists> const GameKind* RecogniseGame(Exists&& exists) {
    for (const GameKind& game : Games()) {
        for (const GameMarker& marker : game.markers) {
            if (exists(std::string(marker.systemFolder) + "\\" + marker.program))
                return &game;
        }
    }
    return nullptr;
}

} // namespace UnrealMOD
