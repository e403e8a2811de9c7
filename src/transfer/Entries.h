#pragma once
// Every catalogue entry as the player sees it: what kind of file it is, where it goes and what a
// transfer would do with it (or did, after a run), in words. The entries window and the command
// line show the same states.

#include "catalogue/Catalogue.h"
#include "transfer/Transfer.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace UnrealMOD {

enum class EntryKind {
    Map,
    Texture,
    Sound,
    Music,
    StaticMesh,
    Animation,
    Mesh,
    Code,
    LanguageFile,
    Other
};
inline constexpr int EntryKindCount = 10;

// "map", "texture", "sound", "music", "static mesh", "animation", "mesh", "code",
// "language file", "other".
const char* KindWord(EntryKind kind);
// From the real file name's extension, without regard to letter case, by the settled game's own
// table: what its extension is for, wherever the game's ini puts it.
EntryKind KindOf(std::string_view fileName);
// The kinds the settled game has, in EntryKind order: those of its table, then code, language
// files and other files.
std::vector<EntryKind> GameKinds();

enum class EntryState {
    WillMove,      // a transfer takes it to its folder
    Identical,     // the very bytes are installed: a transfer deletes the cached copy
    OtherVersion,  // another version (or the same package with other bytes) is installed
    Blocked,       // it cannot be moved now: `reason` says why
    StaysCode,     // code packages and language files stay in the cache by rule
    StaysUnknown,  // a file of unknown kind, and the game has no "Unknown File" folder
    Missing,       // its cache file is not there
    NameNotUsable, // its names cannot be made into paths safely
    Moved,         // the last run moved it (or deleted it as a duplicate)
    Kept,          // the last run kept it in the cache: `reason` says why
};
inline constexpr int EntryStateCount = 10;

// The state as the player reads it: "will be moved", "already installed (identical)", "another
// version is installed", "cannot be moved: <reason>", "stays in the cache (code package)",
// "stays in the cache (unknown kind)", "cache file missing", "name not usable", "moved",
// "kept: <reason>".
std::string StateText(EntryState state, const std::string& reason);
// One fixed word per state, for scripts: "move", "identical", "other-version", "blocked",
// "code", "unknown-kind", "missing", "unusable", "moved", "kept".
const char* StateWord(EntryState state);

// What the player is told beside the state of a package whose header does not agree with its
// cache name (it still moves).
inline constexpr const char* MismatchText = "does not match its cache name";

struct EntryView {
    int catalogueRow = -1; // the row in the catalogue; -1 for an entry the last run moved away
    std::string cacheName;
    std::string fileName;
    std::string destination; // the catalogue's destination folder ("System" for those that stay)
    EntryKind kind = EntryKind::Other;
    bool cacheFileFound = false;
    std::uint64_t size = 0;    // the cache file's length (0 when it is missing)
    std::int64_t modified = 0; // its time, seconds since 1970-01-01 UTC
    std::string guid;          // the header's GUID as a cache name spells it; empty: no package
    bool nameMismatch = false;
    EntryState state = EntryState::Missing;
    std::string reason; // why it is blocked or was kept; empty otherwise
    // The installed file under its name, when there is one (as it is named on disk).
    std::string installedName;
    // The facts above (file found, size, date, GUID, mismatch, installed) and the state that
    // depends on them are known. Rows described from their names alone are not examined yet.
    bool examined = false;

    // A transfer of this row does something (moves it, or deletes a duplicate): it can be
    // chosen.
    bool Movable() const { return state == EntryState::WillMove || state == EntryState::Identical; }
    // The player may choose between the installed and the cached version.
    bool Conflict() const { return state == EntryState::OtherVersion; }
};

// Describes the rows of one reading of the catalogue. A row's names alone cost nothing; its facts
// (the cache file, its header, the installed file) cost reading files, so a window with a large
// cache examines the rows it shows first and the rest when it has time.
class EntryDescriber {
public:
    // The catalogue must outlive the describer and not be read again while it is used.
    explicit EntryDescriber(const CatalogueColumns& catalogue);
    ~EntryDescriber();
    EntryDescriber(const EntryDescriber&) = delete;
    EntryDescriber& operator=(const EntryDescriber&) = delete;
    // From the names alone. Rows whose state needs no file (names not usable) come examined.
    EntryView Named(int r) const;
    // Adds the facts and the state. A row that the catalogue no longer holds is left as it is.
    void Examine(EntryView& entry) const;

private:
    bool FolderUsable(const std::string& destination) const;
    void Analyse() const;

    using CacheUses = std::unordered_map<std::string, int>;
    const CatalogueColumns& catalogue_;
    mutable bool analysed_ = false;
    mutable std::unique_ptr<CacheUses> cacheUses_; // entries per cache file
    mutable std::vector<const int*> uses_;         // each row's count in it
    mutable std::vector<char> laterSameName_; // an earlier entry lands on the same destination file
    mutable std::vector<char> usable_; // the row's names can be made into paths (not "System")
    mutable std::vector<std::pair<std::string, bool>> folders_;
};

// "Maps", "Textures", ... or "stays in the cache" for entries that never leave it.
std::string WhereText(const EntryView& entry);

// The entries of the catalogue as last read, in index order, examined, with their facts
// (CatalogueFacts()). With a run's report (LastRunReport() just after a run), the rows of that
// run say "moved" or "kept: <reason>": moved rows that the closing read no longer lists are put
// back in their place, with the facts they had when `before` was taken (nullptr: none).
std::vector<EntryView> DescribeEntries(const CatalogueColumns& catalogue,
                                       const std::vector<RowReport>* lastRun = nullptr,
                                       const std::vector<EntryView>* before = nullptr);

// Counts by state, for totals lines.
struct EntryTotals {
    long long entries = 0;
    long long byState[EntryStateCount] = {};
    std::uint64_t movableBytes = 0; // the cache files of the rows a transfer would take
};
EntryTotals TotalsOf(const std::vector<EntryView>& entries);

} // namespace UnrealMOD
