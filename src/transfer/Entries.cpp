#include "transfer/Entries.h"

#include "catalogue/CacheIndex.h"
#include "catalogue/EntryFacts.h"
#include "catalogue/SafeNames.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "runtime/Games.h"
#include "runtime/Globals.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <map>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace UnrealMOD {

namespace {

void Block(EntryView& entry, std::string reason) {
    entry.state = EntryState::Blocked;
    entry.reason = std::move(reason);
}

bool NamesUsable(const CatalogueRow& row) {
    return IsSafeName(row.fileName) && !row.fileName.empty() && IsSafeName(row.cacheName) &&
           MovesOutOfCache(row.destination);
}

// A row the run took out of the cache: as it was before the run (its cache file is gone now).
EntryView MovedAway(const RowReport& report, const EntryView* before) {
    EntryView moved;
    if (before) {
        moved = *before;
    } else {
        moved.cacheName = report.cacheName;
        moved.fileName = report.fileName;
        moved.kind = KindOf(report.fileName);
        moved.destination = DestinationOfName(report.fileName);
    }
    moved.catalogueRow = -1;
    moved.state = EntryState::Moved;
    moved.reason.clear();
    return moved;
}

} // namespace

// What a transfer would do with each row, before any run: the same checks, in the same order, as
// the run makes them. Those between rows (two entries naming one cache file, two landing on one
// file) are settled from the names, once, so that rows can be examined in any order.
EntryDescriber::EntryDescriber(const CatalogueColumns& catalogue)
    : catalogue_(catalogue), cacheUses_(std::make_unique<CacheUses>()) {}

// Only once a row is examined: a window opens on the names alone.
void EntryDescriber::Analyse() const {
    analysed_ = true;
    const CatalogueColumns& catalogue = catalogue_;
    const int rows = catalogue.RowCount();
    uses_.assign(static_cast<std::size_t>(rows), nullptr);
    laterSameName_.assign(static_cast<std::size_t>(rows), 0);
    cacheUses_->reserve(static_cast<std::size_t>(rows));
    std::unordered_set<std::string> landed;
    landed.reserve(static_cast<std::size_t>(rows));
    usable_.assign(static_cast<std::size_t>(rows), 0);
    const std::string ext = CacheFileExt();
    std::string key;
    for (int r = 0; r < rows; ++r) {
        const CatalogueRow row = catalogue.Row(r);
        const auto at = static_cast<std::size_t>(r);
        const bool cacheNameSafe = IsSafeName(row.cacheName);
        // The count is read when the row is examined, by then with every row counted.
        if (cacheNameSafe)
            uses_[at] = &++(*cacheUses_)[platform::FileNameKey(row.cacheName + ext)];
        if (row.destination == "System")
            continue;
        usable_[at] = cacheNameSafe && !row.fileName.empty() && IsSafeName(row.fileName) &&
                      MovesOutOfCache(row.destination);
        if (!usable_[at])
            continue;
        key.assign(row.destination).append(1, '\\').append(platform::FileNameKey(row.fileName));
        if (!landed.insert(key).second)
            laterSameName_[at] = 1;
    }
}

EntryDescriber::~EntryDescriber() = default;

EntryView EntryDescriber::Named(int r) const {
    const CatalogueRow row = catalogue_.Row(r);
    EntryView entry;
    entry.catalogueRow = r;
    entry.cacheName = row.cacheName;
    entry.fileName = row.fileName;
    entry.destination = row.destination;
    entry.kind = KindOf(row.fileName);
    if (row.destination == "System") {
        entry.state = EntryState::StaysCode;
        entry.examined = !IsSafeName(row.cacheName);
    } else if (analysed_ && static_cast<std::size_t>(r) < usable_.size()
                   ? !usable_[static_cast<std::size_t>(r)]
                   : !NamesUsable(row)) {
        entry.state = EntryState::NameNotUsable;
        entry.examined = true;
    } else {
        entry.state = EntryState::WillMove;
    }
    return entry;
}

bool EntryDescriber::FolderUsable(const std::string& destination) const {
    for (const auto& [name, usable] : folders_)
        if (name == destination)
            return usable;
    const bool usable = platform::IsDirectory(GameFolder + destination);
    folders_.emplace_back(destination, usable);
    return usable;
}

void EntryDescriber::Examine(EntryView& entry) const {
    if (entry.examined)
        return;
    entry.examined = true;
    const int r = entry.catalogueRow;
    if (r < 0 || r >= catalogue_.RowCount())
        return;
    if (!analysed_)
        Analyse();
    if (static_cast<std::size_t>(r) >= uses_.size())
        return;
    const CatalogueRow row = catalogue_.Row(r);
    if (row.cacheName != entry.cacheName || row.fileName != entry.fileName)
        return;
    const EntryFacts& facts = CatalogueFacts().Of(catalogue_, r);
    entry.cacheFileFound = facts.cacheFileFound;
    entry.size = facts.size;
    entry.modified = facts.modified;
    if (facts.header)
        entry.guid = facts.header->guid.Hex();
    entry.nameMismatch = facts.nameMismatch;
    entry.installedName = facts.installedName;
    entry.reason.clear();

    if (row.destination == "System") {
        entry.state = facts.cacheFileFound ? EntryState::StaysCode : EntryState::Missing;
        return;
    }
    if (!facts.cacheFileFound) {
        entry.state = EntryState::Missing;
        return;
    }
    const auto at = static_cast<std::size_t>(r);
    if (uses_[at] && *uses_[at] > 1)
        return Block(entry, "another entry names the same cache file");
    if (!FolderUsable(row.destination)) {
        if (row.destination == "Unknown File")
            entry.state = EntryState::StaysUnknown;
        else
            Block(entry, "its folder " + row.destination + " cannot be used");
        return;
    }
    switch (facts.installed) {
    case Installed::Nothing:
        entry.state = EntryState::WillMove;
        break;
    case Installed::SameBytes:
        entry.state = EntryState::Identical;
        break;
    case Installed::SamePackage:
    case Installed::OtherVersion:
        entry.state = EntryState::OtherVersion;
        entry.reason = KeptReason(facts.installed);
        return;
    case Installed::NotAFile:
    case Installed::Unreadable:
        return Block(entry, KeptReason(facts.installed));
    }
    // One package per destination file and run: a later entry of the same name stays.
    if (laterSameName_[at])
        Block(entry, "another entry of this transfer has the same name");
}

const char* KindWord(EntryKind kind) {
    switch (kind) {
    case EntryKind::Map:
        return "map";
    case EntryKind::Texture:
        return "texture";
    case EntryKind::Sound:
        return "sound";
    case EntryKind::Music:
        return "music";
    case EntryKind::StaticMesh:
        return "static mesh";
    case EntryKind::Animation:
        return "animation";
    case EntryKind::Mesh:
        return "mesh";
    case EntryKind::Code:
        return "code";
    case EntryKind::LanguageFile:
        return "language file";
    case EntryKind::Other:
        break;
    }
    return "other";
}

namespace {

// What the folders of the games' own tables hold.
constexpr std::array<std::pair<std::string_view, EntryKind>, 7> FolderKinds{{
    {"Maps", EntryKind::Map},
    {"Textures", EntryKind::Texture},
    {"Sounds", EntryKind::Sound},
    {"Music", EntryKind::Music},
    {"StaticMeshes", EntryKind::StaticMesh},
    {"Animations", EntryKind::Animation},
    {"Meshes", EntryKind::Mesh},
}};

EntryKind KindOfFolder(std::string_view folder) {
    for (const auto& [name, kind] : FolderKinds)
        if (name == folder)
            return kind;
    return EntryKind::Other;
}

} // namespace

EntryKind KindOf(std::string_view fileName) {
    const std::size_t dot = fileName.rfind('.');
    if (dot == std::string_view::npos)
        return EntryKind::Other;
    std::string ext(fileName.substr(dot));
    for (char& c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const GameKind& game = CurrentGame();
    if (ext == ".u")
        return EntryKind::Code;
    if (IsLanguageFile(game, ext))
        return EntryKind::LanguageFile;
    for (const DestinationRule& rule : game.destinations)
        if (ext == rule.ext)
            return KindOfFolder(rule.folder);
    return EntryKind::Other;
}

std::vector<EntryKind> GameKinds() {
    std::vector<EntryKind> kinds;
    for (const DestinationRule& rule : CurrentGame().destinations) {
        const EntryKind kind = KindOfFolder(rule.folder);
        if (kind != EntryKind::Other && std::find(kinds.begin(), kinds.end(), kind) == kinds.end())
            kinds.push_back(kind);
    }
    std::sort(kinds.begin(), kinds.end());
    kinds.insert(kinds.end(), {EntryKind::Code, EntryKind::LanguageFile, EntryKind::Other});
    return kinds;
}

std::string StateText(EntryState state, const std::string& reason) {
    switch (state) {
    case EntryState::WillMove:
        return "will be moved";
    case EntryState::Identical:
        return "already installed (identical)";
    case EntryState::OtherVersion:
        return "another version is installed";
    case EntryState::Blocked:
        return reason.empty() ? "cannot be moved" : "cannot be moved: " + reason;
    case EntryState::StaysCode:
        return "stays in the cache (code package)";
    case EntryState::StaysUnknown:
        return "stays in the cache (unknown kind)";
    case EntryState::Missing:
        return "cache file missing";
    case EntryState::NameNotUsable:
        return "name not usable";
    case EntryState::Moved:
        return "moved";
    case EntryState::Kept:
        return reason.empty() ? "kept" : "kept: " + reason;
    }
    return {};
}

const char* StateWord(EntryState state) {
    static constexpr std::array<const char*, EntryStateCount> words = {
        "move",         "identical", "other-version", "blocked", "code",
        "unknown-kind", "missing",   "unusable",      "moved",   "kept"};
    return words[static_cast<std::size_t>(state)];
}

std::string WhereText(const EntryView& entry) {
    if (entry.destination == "System" || entry.state == EntryState::StaysUnknown)
        return "stays in the cache";
    return entry.destination;
}

std::vector<EntryView> DescribeEntries(const CatalogueColumns& catalogue,
                                       const std::vector<RowReport>* lastRun,
                                       const std::vector<EntryView>* before) {
    const int rows = catalogue.RowCount();
    std::vector<EntryView> entries;
    entries.reserve(static_cast<std::size_t>(rows));
    const EntryDescriber describer(catalogue);
    for (int r = 0; r < rows; ++r) {
        entries.push_back(describer.Named(r));
        describer.Examine(entries.back());
    }
    if (!lastRun || lastRun->empty())
        return entries;

    // What the run did with each row it took, by cache name: the closing read keeps the order of
    // the index, so the run's rows and the listed ones meet in the same order.
    std::unordered_map<std::string, int> listed;
    for (int r = rows - 1; r >= 0; --r)
        listed[entries[static_cast<std::size_t>(r)].cacheName] = r;
    std::unordered_map<std::string, const EntryView*> earlier;
    if (before)
        for (const EntryView& entry : *before)
            earlier.emplace(entry.cacheName + '=' + entry.fileName, &entry);
    const auto earlierOf = [&](const RowReport& report) -> const EntryView* {
        const auto found = earlier.find(report.cacheName + '=' + report.fileName);
        return found == earlier.end() ? nullptr : found->second;
    };
    for (const RowReport& report : *lastRun) {
        const auto found = listed.find(report.cacheName);
        if (found == listed.end())
            continue;
        EntryView& entry = entries[static_cast<std::size_t>(found->second)];
        if (report.fate == RowFate::Kept) {
            entry.state = EntryState::Kept;
            entry.reason = report.reason;
        } else if (report.fate == RowFate::Moved || report.fate == RowFate::Duplicate) {
            // Listed until the index is read again; it shows what it was.
            const int r = entry.catalogueRow;
            entry = MovedAway(report, earlierOf(report));
            entry.catalogueRow = r;
        }
    }
    // Rows the index no longer lists go back between the rows that surrounded them.
    std::vector<EntryView> merged;
    merged.reserve(entries.size() + lastRun->size());
    std::size_t next = 0; // the first listed row not yet in `merged`
    for (const RowReport& report : *lastRun) {
        const auto found = listed.find(report.cacheName);
        if (found != listed.end()) {
            for (; next <= static_cast<std::size_t>(found->second); ++next)
                merged.push_back(std::move(entries[next]));
        } else if (report.fate == RowFate::Moved || report.fate == RowFate::Duplicate) {
            merged.push_back(MovedAway(report, earlierOf(report)));
        }
    }
    for (; next < entries.size(); ++next)
        merged.push_back(std::move(entries[next]));
    return merged;
}

EntryTotals TotalsOf(const std::vector<EntryView>& entries) {
    EntryTotals totals;
    totals.entries = static_cast<long long>(entries.size());
    for (const EntryView& entry : entries) {
        ++totals.byState[static_cast<int>(entry.state)];
        if (entry.Movable())
            totals.movableBytes += entry.size;
    }
    return totals;
}

} // namespace UnrealMOD
