#pragma once
// "Begin Transfer": copy every transferable entry out of the cache, mark each row, show progress,
// read the catalogue again and rewrite the index.

#include "catalogue/Catalogue.h"

#include <string>
#include <unordered_set>
#include <vector>

namespace UnrealMOD {

// What the transfer run shows on the main window.
class TransferView {
public:
    virtual ~TransferView() = default;
    virtual void ShowTranFrame() = 0;
    virtual void SetProgLbl(const std::string& caption) = 0;
    virtual void SetWindowEnabled(bool enabled) = 0;
    virtual void SetBusyPointer(bool busy) = 0;
    virtual void SetProgMax(float value) = 0;
    virtual void SetProgMin(float value) = 0;
    virtual void SetProgValue(float value) = 0;
    virtual float ProgValue() const = 0;
    virtual float ProgMax() const = 0;
    virtual void ShowEndProg() = 0;
    // A failure the user must hear of (the index could not be rewritten).
    virtual void ShowProblem(const std::string& message) = 0;
    // The entry about to be moved (for a view that names it; the windows do not).
    virtual void ShowCurrentEntry(const CatalogueRow& row) { (void)row; }
    // The run could not write in `folder` (as the system writes it): access was denied. The
    // message says which folder and what to do; a view that can start the program again with
    // more rights offers it.
    virtual void ShowRefusal(const std::string& message, const std::string& folder) {
        (void)folder;
        ShowProblem(message);
    }
};

// What the last run did with each row, kept after the closing read has reset the marks, for
// whoever shows it (the entries window, the command line).
enum class RowFate {
    Skipped,   // a "System" row: it stays in the cache by rule
    Moved,     // its package now lies in its destination folder
    Duplicate, // the same bytes were installed already: the cached copy went
    Kept,      // it stays in the cache; `reason` says why
    Missing,   // its cache file was not there
};
struct RowReport {
    std::string cacheName;
    std::string fileName;
    RowFate fate = RowFate::Kept;
    std::string reason;
};
// One report per catalogue row of the last run, in order.
const std::vector<RowReport>& LastRunReport();

// The label at the end of a run: "Complete!!!", or with the number of rows kept in the cache.
std::string CompleteCaption(long long kept);

std::string CacheFilePath(const std::string& cacheName);
std::string DestinationFilePath(const std::string& destination, const std::string& fileName);

struct TransferOutcome {
    bool walkFinished = true;    // false when a fault stopped the row walk early
    bool catalogueReread = true; // false when the closing read of the index failed
    bool movesOnDisk = true;     // false when the moves could not be made durable
    // Folders the system refused to let the run write in (as the system writes them), and how
    // many entries stayed in the cache for it.
    std::vector<std::string> refusedFolders;
    long long refusedEntries = 0;
};

// What the player is told when the system refused to let a run write in a folder.
std::string RefusalMessage(const std::string& folder, long long entries);

// Which catalogue rows a run takes: one flag per row of the catalogue as read (rows beyond the
// flags are not taken). A run given none takes every row, as "Begin Transfer" does.
using RowChoice = std::vector<bool>;

// Walks the catalogue and copies; reads the catalogue again at its end. The window is enabled
// again and the pointer restored whatever happens; faults do not escape. With a choice, rows not
// chosen are left alone (no mark, no report, not counted) and the bar counts the chosen rows.
TransferOutcome RunTransfer(CatalogueColumns& catalogue, TransferView& view,
                            const RowChoice* chosen = nullptr);

// What a run began with, for the rewrite that ends it: the entries the catalogue listed (read
// from this game's index when fromIndex, which then held its "[Cache]" line when sectioned) and
// the names of the files in the cache folder (cacheListed: the folder could be read).
struct RunStart {
    std::vector<CatalogueRow> entries;
    bool fromIndex = false;
    bool sectioned = false;
    bool cacheListed = false;
    std::unordered_set<std::string> cacheFiles;
};
RunStart RecordRunStart(const CatalogueColumns& catalogue);

// Writes the index anew: "[Cache]", every "System" entry, every entry whose cache file is still
// in the cache and every entry with an unsafe name, then an empty line, in the encoding the index
// has on disk. The entries are those of the index as it is then (in its order), of the catalogue
// and of `start`: an entry any of them lists leaves only when its cache file is gone. A cache file
// matches its entry by its exact name first; one that matches only by letter case keeps no entry
// whose exactly named file went during the run. An index that looks cut short (the game saving
// it) is read again a few times before the rewrite gives up; whatever is written into the
// replaced index after it was read is taken into a second pass. Atomic; on failure the old index
// stays whole and *problem (when given) says why.
bool RewriteCacheIndex(const CatalogueColumns& catalogue, std::string* problem,
                       const RunStart* start = nullptr);

// The text of the rewritten index for the entries it keeps: "[Cache]", one "cache name=real file
// name" line per entry in order, then an empty line; CR LF throughout. No I/O.
std::string RewrittenIndexText(const std::vector<CatalogueRow>& kept);

// The output file of the rewrite: the cache folder + "Cache.ini" (the same file as the index).
std::string RewrittenIndexPath();
// What the user is told when the index could not be rewritten.
std::string RewriteFailedMessage();
// The index's path as messages show it: as the system writes it, with its name as on disk.
std::string ShownIndexPath();

// The whole click: events, cue, run, rewrite (a failure reported through the view), cue. While
// the game of the game folder runs, the click ends after the first cue with the view's problem
// message and nothing else: no file is touched, the window stays as it was. The
// rewrite is left out when the catalogue could not be read again: an empty catalogue would
// write an index without the entries that are still in the cache.
void RunitClick(CatalogueColumns& catalogue, TransferView& view, const RowChoice* chosen = nullptr);

// The count of chosen rows that are not "System" rows: the total a run with that choice shows.
long long ChosenTotal(const CatalogueColumns& catalogue, const RowChoice& chosen);

} // namespace UnrealMOD
