#pragma once
// The first start looks for the game where players' installations put it.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace UnrealMOD {

// Folders where an installation may have put the game, each ending in a separator. On Linux
// (native paths): the native installer's default, every Steam library of the native and the
// Flatpak Steam, the folders under ~/Games (Lutris, and Heroic with its prefixes), the default
// Wine prefix. On Windows: the folder the game's installers record in the registry, and every
// Steam library.
std::vector<std::string> CandidateGameFolders();

// The library folders a Steam libraryfolders.vdf lists ("path" of each numbered library, or the
// numbered values of the older layout), in file order.
std::vector<std::string> SteamLibraryFolders(std::string_view vdf);

// The one candidate that holds an installed game; nullopt when none does, or when more than one
// does (two spellings of one folder, through links, count once).
std::optional<std::string> DiscoverGameFolder();

} // namespace UnrealMOD
