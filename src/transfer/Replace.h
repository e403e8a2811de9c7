#pragma once
// "Install the cached version": the player chose the cached version of a package over the one
// installed under the same name. Nothing is deleted: the installed file goes into the cache, where
// the game still finds it for the servers that use it.

#include "catalogue/Catalogue.h"

#include <string>

namespace UnrealMOD {

struct ReplaceOutcome {
    bool installed = false; // the cached version now lies under the name
    // Where the installed version went: "<GUID><ext>" in the cache (listed in the index under its
    // name), or "Replaced\<name>.<n>" in the cache folder for a file with no readable GUID (or
    // one whose GUID the cache already holds). Empty when nothing moved.
    std::string keptAs;
    std::string problem; // what the player is told when it could not be done; empty on success
};

// For catalogue row r (an entry whose destination holds another version): moves the installed
// file into the cache (under its GUID and listed in the index, or into the "Replaced" folder),
// moves the cached file into place under the name and rewrites the index, then reads the
// catalogue again. Refused while the game runs. When a step fails, what was moved is moved back
// where it can be; a file is never replaced or deleted.
ReplaceOutcome InstallCachedVersion(CatalogueColumns& catalogue, int r);

// The folder, inside the cache folder, that takes installed files with no GUID of their own.
inline constexpr const char* ReplacedFolderName = "Replaced";

} // namespace UnrealMOD
