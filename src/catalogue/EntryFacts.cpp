#include "catalogue/EntryFacts.h"

#include "catalogue/SafeNames.h"
#include "runtime/Games.h"
#include "runtime/Globals.h"

#include <array>
#include <string_view>

namespace UnrealMOD {

namespace {

bool EndsWithIgnoringAsciiCase(std::string_view name, std::string_view end) {
    if (name.size() < end.size())
        return false;
    name.remove_prefix(name.size() - end.size());
    for (std::size_t i = 0; i < end.size(); ++i) {
        char c = name[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != end[i])
            return false;
    }
    return true;
}

} // namespace

bool MovesOutOfCache(const std::string& destination) {
    // Another game's folders come from its ini: whatever is not the cache's own stays put.
    if (CurrentGame().id != GameId::UnrealTournament)
        return !destination.empty() && destination != "System";
    static constexpr std::array<std::string_view, 5> folders = {"Maps", "Textures", "Sounds",
                                                                "Music", "Unknown File"};
    for (std::string_view folder : folders)
        if (destination == folder)
            return true;
    return false;
}

bool HasPackageExtension(const std::string& fileName) {
    static constexpr std::array<std::string_view, 5> extensions = {".unr", ".utx", ".uax", ".umx",
                                                                   ".u"};
    for (std::string_view extension : extensions)
        if (EndsWithIgnoringAsciiCase(fileName, extension))
            return true;
    if (CurrentGame().id == GameId::UnrealTournament)
        return false;
    for (const DestinationRule& rule : CurrentGame().destinations)
        if (EndsWithIgnoringAsciiCase(fileName, rule.ext))
            return true;
    return false;
}

Installed CompareWithInstalled(const platform::InputFile& cached,
                               const std::optional<PackageHeader>& header,
                               const platform::Folder& folder, const std::string& name) {
    // A link is not followed: what it leads to is not the player's installed file to judge.
    bool notAFile = false;
    const auto installed = platform::InputFile::Open(folder, name, false, &notAFile);
    if (!installed)
        return notAFile ? Installed::NotAFile : Installed::Unreadable;
    if (installed->Identity() == cached.Identity())
        return Installed::NotAFile;
    // Two packages with other GUIDs cannot hold the same bytes: their headers tell, without
    // reading either file whole.
    const auto other = ReadPackageHeader(*installed);
    if (header && other && !(header->guid == other->guid))
        return Installed::OtherVersion;
    if (installed->Size() == cached.Size()) {
        switch (platform::CompareFiles(cached, *installed)) {
        case platform::Sameness::Same:
            return Installed::SameBytes;
        case platform::Sameness::Unreadable:
            return Installed::Unreadable;
        case platform::Sameness::Different:
            break;
        }
    }
    return header && other ? Installed::SamePackage : Installed::OtherVersion;
}

std::string KeptReason(Installed installed) {
    switch (installed) {
    case Installed::Nothing:
    case Installed::SameBytes:
        return {};
    case Installed::SamePackage:
        return "the same package with other bytes is installed";
    case Installed::OtherVersion:
        return "another version is installed";
    case Installed::NotAFile:
        return "a folder or link has its name";
    case Installed::Unreadable:
        return "the installed file cannot be read";
    }
    return {};
}

const EntryFacts& EntryFactsTable::Of(const CatalogueColumns& catalogue, int r) {
    if (r < 0 || r >= catalogue.RowCount())
        return none_;
    if (facts_.size() != static_cast<std::size_t>(catalogue.RowCount()))
        facts_.resize(static_cast<std::size_t>(catalogue.RowCount()));
    auto& facts = facts_[static_cast<std::size_t>(r)];
    if (!facts)
        facts = Examine(catalogue.Row(r));
    return *facts;
}

void EntryFactsTable::Reset() {
    facts_.clear();
    cache_.reset();
    cacheTried_ = false;
    destinations_.clear();
}

FolderListing* EntryFactsTable::Destination(const std::string& name) {
    auto& listing = destinations_[name];
    if (!listing) {
        listing = std::make_unique<FolderListing>();
        if (!listing->Open(GameFolder + name))
            listing = std::make_unique<FolderListing>(); // stays closed: nothing is installed
    }
    return listing.get();
}

EntryFacts EntryFactsTable::Examine(const CatalogueRow& row) {
    EntryFacts facts;
    // Names from the index are never made into paths unless they are safe.
    if (!IsSafeName(row.cacheName))
        return facts;
    if (!cacheTried_) {
        cacheTried_ = true;
        cache_.emplace();
        if (!cache_->Open(CacheFolderPath()))
            cache_.reset();
    }
    if (!cache_)
        return facts;
    const auto cacheFile = cache_->Find(row.cacheName + CacheFileExt(), true);
    const auto cached =
        cacheFile ? platform::InputFile::Open(cache_->Location(), *cacheFile) : std::nullopt;
    if (!cached)
        return facts;
    facts.cacheFileFound = true;
    facts.size = cached->Size();
    facts.modified = cached->ModifiedTime();
    facts.header = ReadPackageHeader(*cached);
    if (facts.header) {
        const auto named = GuidOfCacheName(row.cacheName);
        facts.nameMismatch = named && !(*named == facts.header->guid);
    } else {
        facts.nameMismatch = HasPackageExtension(row.fileName);
    }

    if (!MovesOutOfCache(row.destination) || !IsSafeName(row.fileName) || row.fileName.empty())
        return facts;
    FolderListing* to = Destination(row.destination);
    if (!to->Opened())
        return facts;
    const auto installed = to->Find(row.fileName, false);
    if (!installed)
        return facts;
    facts.installedName = *installed;
    facts.installed = CompareWithInstalled(*cached, facts.header, to->Location(), *installed);
    return facts;
}

EntryFactsTable& CatalogueFacts() {
    static EntryFactsTable table;
    return table;
}

} // namespace UnrealMOD
