#pragma once
// What each catalogue entry is, beyond its four columns: its cache file's size, date and package
// header, whether that header agrees with the cache name, and what is already installed under
// its destination name. Found out only when asked for (the main window's counts need none of
// it), at most once per read of the index.

#include "catalogue/Catalogue.h"
#include "catalogue/FolderListing.h"
#include "package/PackageHeader.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace UnrealMOD {

// What the destination folder holds under the entry's real file name.
enum class Installed {
    Nothing,      // no file of that name
    SameBytes,    // the very bytes of the cache file: a duplicate
    SamePackage,  // the same package (same GUID) with other bytes
    OtherVersion, // another GUID, or other bytes where either file is not a package
    NotAFile,     // a folder, a link or another special file has the name
    Unreadable,   // a file that cannot be read, or that changed while it was compared
};

struct EntryFacts {
    bool cacheFileFound = false;
    std::uint64_t size = 0;
    std::int64_t modified = 0; // seconds since 1970-01-01 UTC
    std::optional<PackageHeader> header;
    // A package whose GUID is not the one its 32-digit cache name spells, or a file with a
    // package's extension that is not a package.
    bool nameMismatch = false;
    Installed installed = Installed::Nothing;
    std::string installedName; // the installed file's name on disk
};

// True for the destination folders a transfer moves files into ("System" is not one).
bool MovesOutOfCache(const std::string& destination);
// Maps, textures, sounds, music and code packages (not their language files).
bool HasPackageExtension(const std::string& fileName);

// Compares an open cache file (and its header, when it is a package) with the file `name` of
// `folder`. Bytes are compared only when the sizes agree.
Installed CompareWithInstalled(const platform::InputFile& cached,
                               const std::optional<PackageHeader>& header,
                               const platform::Folder& folder, const std::string& name);

// Why an entry stays in the cache when something is installed under its name, in the words the
// player reads ("another version is installed"); empty for Nothing and SameBytes.
std::string KeptReason(Installed installed);

class EntryFactsTable {
public:
    // The facts of row r of the catalogue as it was last read (empty facts outside it).
    const EntryFacts& Of(const CatalogueColumns& catalogue, int r);
    void Reset();

private:
    EntryFacts Examine(const CatalogueRow& row);
    FolderListing* Destination(const std::string& name);

    std::vector<std::optional<EntryFacts>> facts_;
    std::optional<FolderListing> cache_;
    bool cacheTried_ = false;
    std::map<std::string, std::unique_ptr<FolderListing>> destinations_;
    EntryFacts none_;
};

// The facts of the catalogue last read; every ReadCacheIndex empties it.
EntryFactsTable& CatalogueFacts();

} // namespace UnrealMOD
