#pragma once
// The first start looks for the game where players' installations put it.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace UnrealMOD {

// Folders where an installation may have put one of the games, each ending in a separator. On
// Linux (native paths): the native installers' defaults, every Steam library of the native and
// the Flatpak Steam, the folders under ~/Games (Lutris, and Heroic with its prefixes), the default
// Wine prefix. On Windows: the folders the games' installers record in the registry, and every
// Steam library.
std::vector<std::string> CandidateGameFolders();

// The library folders a Steam libraryfolders.vdf lists ("path" of each numbered library, or the
// numbered values of the older layout), in file order.
std::vector<std::string> SteamLibraryFolders(std::string_view vdf);

// The folder under steamapps/common that a Steam app manifest (appmanifest_<id>.acf) names as its
// "installdir"; nullopt when it names none, or something other than one folder's name.
std::optional<std::string> SteamInstallFolder(std::string_view acf);

// The candidate the first start opens on: the one that holds Unreal Tournament; when none does, the
// one that holds another game. nullopt when there is none, or more than one to choose from (two
// spellings of one folder, through links, count once).
std::optional<std::string> DiscoverGameFolder();

} // namespace UnrealMOD
