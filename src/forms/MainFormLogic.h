#pragma once
// The main window's handlers where they are not drawing: which lists follow a selection, the
// cues of the close commands, the whole-number range of the progress bar, where the logo is.

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace forms {

enum class CatalogueList { FileNameList, CacheNameList, DestinationList, Copied };

// The lists that take over a list's selected row, in the order they are set. "FileNameList"
// leaves "Copied" alone (its neighbours then carry the row over).
std::span<const CatalogueList> SelectionTargets(CatalogueList changed);

inline constexpr const char* EndProgCue = "\\TazerFire.wav";
inline constexpr const char* ExitProgCue = "\\unstoppable.wav";

// A progress bar works in whole numbers; the exact values are held by the window. Never
// throws: values beyond the bar's range are brought into it, and max is never below min.
struct WholeProgress {
    int min = 0, max = 100, value = 0;
    bool operator==(const WholeProgress&) const = default;
};
WholeProgress ToWholeProgress(float min, float max, float value);

// The windows opened on a game given on the command line ("--game DIR", as a program started
// again with more rights is given its game): the folder, ending in a separator, never stored.
// nullopt for any other arguments.
inline constexpr const char* ElevatedGameOption = "--game";
std::optional<std::string> GameFolderArgument(const std::vector<std::string>& arguments);

// GameFolder + the settled game's logo ("Help\UnrealTournamentLogo.bmp" for Unreal Tournament).
std::string LogoPath();

} // namespace forms
