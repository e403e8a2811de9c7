#pragma once
// "Begin Transfer": copy every transferable entry out of the cache, mark each row, show progress,
// read the catalogue again and rewrite the index.

#include "catalogue/Catalogue.h"

#include <string>
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
};

std::string CacheFilePath(const std::string& cacheName);
std::string DestinationFilePath(const std::string& destination, const std::string& fileName);

struct TransferOutcome {
    bool walkFinished = true;    // false when a fault stopped the row walk early
    bool catalogueReread = true; // false when the closing read of the index failed
    bool movesOnDisk = true;     // false when the moves could not be made durable
};

// Walks the catalogue and copies; reads the catalogue again at its end. The window is enabled
// again and the pointer restored whatever happens; faults do not escape.
TransferOutcome RunTransfer(CatalogueColumns& catalogue, TransferView& view);

// Writes the index anew: "[Cache]", every "System" entry, every entry whose cache file is still
// in the cache and every entry with an unsafe name, in catalogue order, then an empty line, in
// the encoding the index has on disk. Atomic; on failure the old index stays whole and *problem
// (when given) says why.
bool RewriteCacheIndex(const CatalogueColumns& catalogue, std::string* problem);

// The text of the rewritten index for the entries it keeps: "[Cache]", one "cache name=real file
// name" line per entry in order, then an empty line; CR LF throughout. No I/O.
std::string RewrittenIndexText(const std::vector<CatalogueRow>& kept);

// The output file of the rewrite: the cache folder + "Cache.ini" (the same file as the index).
std::string RewrittenIndexPath();
// What the user is told when the index could not be rewritten.
std::string RewriteFailedMessage();

// The whole click: events, cue, run, rewrite (a failure reported through the view), cue. While
// the game of the game folder runs, the click ends after the first cue with the view's problem
// message and nothing else: no file is touched, the window stays as it was. The
// rewrite is left out when the catalogue could not be read again: an empty catalogue would
// write an index without the entries that are still in the cache.
void RunitClick(CatalogueColumns& catalogue, TransferView& view);

} // namespace UnrealMOD
