#include "transfer/Transfer.h"

#include "catalogue/CacheIndex.h"
#include "catalogue/EntryFacts.h"
#include "catalogue/FolderListing.h"
#include "catalogue/SafeNames.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "runtime/DoEvents.h"
#include "runtime/GameRunning.h"
#include "runtime/Globals.h"
#include "runtime/PlayCue.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <map>
#include <memory>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace UnrealMOD {

namespace {

// The total as a number the way the count box's text reads: leading blanks, an optional sign,
// digits and a fraction; anything else ends the number, and no number at all is 0.
float LeadingNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    std::size_t end = i;
    if (end < text.size() && (text[end] == '+' || text[end] == '-')) {
        ++end;
    }
    const std::size_t digitsStart = end;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9') {
        ++end;
    }
    if (end < text.size() && text[end] == '.') {
        ++end;
        while (end < text.size() && text[end] >= '0' && text[end] <= '9') {
            ++end;
        }
    }
    std::string_view number = text.substr(i, end - i);
    if (end == digitsStart || (end == digitsStart + 1 && text[digitsStart] == '.')) {
        return 0.0F;
    }
    if (number.front() == '+') {
        number.remove_prefix(1);
    }
    float value = 0.0F;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
    return result.ec == std::errc() ? value : 0.0F;
}

std::string WholeNumber(float value) {
    return std::to_string(std::llround(value));
}

// Keeps the window disabled with the busy pointer only while it is held: whatever stops the
// run, the destructor gives the user the window back.
class BusyWindow {
public:
    explicit BusyWindow(TransferView& view) : view_(view) {}
    BusyWindow(const BusyWindow&) = delete;
    BusyWindow& operator=(const BusyWindow&) = delete;
    ~BusyWindow() {
        try {
            Enable();
        } catch (...) {
        }
        try {
            RestorePointer();
        } catch (...) {
        }
    }

    void Disable() {
        disabled_ = true;
        view_.SetWindowEnabled(false);
    }
    void ShowBusyPointer() {
        busy_ = true;
        view_.SetBusyPointer(true);
    }
    void Enable() {
        if (disabled_) {
            view_.SetWindowEnabled(true);
            disabled_ = false;
        }
    }
    void RestorePointer() {
        if (busy_) {
            view_.SetBusyPointer(false);
            busy_ = false;
        }
    }

private:
    TransferView& view_;
    bool disabled_ = false;
    bool busy_ = false;
};

template <typename Step> bool IgnoringFaults(Step&& step) {
    try {
        step();
        return true;
    } catch (...) {
        return false;
    }
}

std::string Caption(const std::string& done, const std::string& total) {
    return done + " out of " + total + " Transfered";
}

using FolderKey = std::pair<std::uint64_t, std::uint64_t>;

// What one run knows about the game's folders and what it has written into them.
class RowMover {
public:
    explicit RowMover(const CatalogueColumns& catalogue) {
        cacheOpen_ = cache_.Open(CacheFolderPath());
        // A cache file that more than one entry names (the same name twice, or names that
        // differ only in letter case) belongs to no single entry: moving it for one would take
        // it from the others.
        for (int r = 0; r < catalogue.RowCount(); ++r) {
            const std::string cacheName = catalogue.Row(r).cacheName;
            if (IsSafeName(cacheName))
                ++cacheUses_[platform::FileNameKey(cacheName + CacheFileExt())];
        }
    }

    // What became of the row: its package now lies in its destination folder (moved, or it was
    // there already), or it stays in the cache, and why.
    RowReport Move(const CatalogueRow& row) {
        RowReport report{row.cacheName, row.fileName, RowFate::Kept, {}};
        if (!cacheOpen_)
            return Kept(report, "the cache folder cannot be read");
        const std::string cacheFile = row.cacheName + CacheFileExt();
        const auto from = cache_.Find(cacheFile, true);
        if (!from) {
            report.fate = RowFate::Missing;
            return report;
        }
        if (cacheUses_[platform::FileNameKey(cacheFile)] != 1)
            return Kept(report, "another entry names the same cache file");
        Destination* to = DestinationFolder(row.destination);
        if (!to)
            return Kept(report, "its folder " + row.destination + " cannot be used");
        // One package per destination file and run: a second entry that lands on a file this
        // run has written (same name, other letter case, same name once decoded) would replace
        // the first package.
        const std::string key = platform::FileNameKey(row.fileName);
        if (to->written.count(key))
            return Kept(report, "another entry of this transfer has the same name");
        const std::string toName = to->folder->Find(row.fileName, false).value_or(row.fileName);
        switch (batch_.Move(cache_.Location(), *from, to->folder->Location(), toName)) {
        case platform::MoveResult::Moved:
            cache_.Remove(*from);
            report.fate = RowFate::Moved;
            break;
        case platform::MoveResult::CopiedSourceKept:
            report.fate = RowFate::Moved;
            break;
        case platform::MoveResult::Duplicate:
            cache_.Remove(*from);
            report.fate = RowFate::Duplicate;
            break;
        case platform::MoveResult::DuplicateKept:
            report.fate = RowFate::Duplicate;
            break;
        case platform::MoveResult::DestinationTaken:
            return Kept(report, WhyTaken(*from, to->folder->Location(), toName));
        case platform::MoveResult::Failed:
            if (batch_.Denied()) {
                Refused(to->folder->Location());
                return Kept(report, "its folder may not be written");
            }
            return Kept(report, "it could not be moved");
        case platform::MoveResult::SameFile:
        case platform::MoveResult::SourceChanged:
            return Kept(report, "it could not be moved");
        }
        to->folder->Add(toName, true);
        to->written.insert(key);
        return report;
    }

    // Whether the cache file of an entry is still in the cache, as far as this run knows.
    bool StillCached(const std::string& cacheName) const {
        return !cacheOpen_ || !IsSafeName(cacheName) ||
               cache_.Find(cacheName + CacheFileExt(), true).has_value();
    }

    // Every move of the run is on disk (false when that cannot be made sure).
    bool Finish() { return batch_.Finish(); }

    const std::vector<std::string>& RefusedFolders() const { return refused_; }
    long long RefusedEntries() const { return refusedEntries_; }

private:
    struct Destination {
        FolderListing* folder = nullptr;
        std::unordered_set<std::string> written;
    };

    void Refused(const platform::Folder& folder) {
        ++refusedEntries_;
        const std::string shown = platform::ShownPath(folder.location);
        if (std::find(refused_.begin(), refused_.end(), shown) == refused_.end())
            refused_.push_back(shown);
    }

    static RowReport Kept(RowReport report, std::string reason) {
        report.fate = RowFate::Kept;
        report.reason = std::move(reason);
        return report;
    }

    // Read only for a row whose name is taken: the player is told what is installed there.
    std::string WhyTaken(const std::string& cacheFile, const platform::Folder& folder,
                         const std::string& name) const {
        const auto cached = platform::InputFile::Open(cache_.Location(), cacheFile);
        if (!cached)
            return "it could not be moved";
        const std::string reason =
            KeptReason(CompareWithInstalled(*cached, ReadPackageHeader(*cached), folder, name));
        return reason.empty() ? "the installed file changed during the transfer" : reason;
    }

    Destination* DestinationFolder(const std::string& name) {
        const auto known = byName_.find(name);
        if (known != byName_.end())
            return known->second;
        Destination* result = nullptr;
        auto folder = std::make_unique<FolderListing>();
        if (folder->Open(GameFolder + name)) {
            const platform::FileIdentity id = folder->Location().identity;
            const platform::FileIdentity cacheId = cache_.Location().identity;
            // A destination folder that is the cache folder itself (a link or a mount) would
            // put packages over other cache files or the index.
            if (!(id == cacheId)) {
                Destination& d = byIdentity_[FolderKey{id.device, id.file}];
                if (!d.folder) {
                    folders_.push_back(std::move(folder));
                    d.folder = folders_.back().get();
                }
                result = &d;
            }
        }
        byName_[name] = result;
        return result;
    }

    FolderListing cache_;
    bool cacheOpen_ = false;
    std::unordered_map<std::string, int> cacheUses_;
    std::vector<std::unique_ptr<FolderListing>> folders_;
    std::map<FolderKey, Destination> byIdentity_;
    std::map<std::string, Destination*> byName_;
    platform::MoveBatch batch_;
    std::vector<std::string> refused_;
    long long refusedEntries_ = 0;
};

std::vector<RowReport>& Report() {
    static std::vector<RowReport> report;
    return report;
}

} // namespace

const std::vector<RowReport>& LastRunReport() {
    return Report();
}

std::string CompleteCaption(long long kept) {
    return kept > 0 ? "Complete!!! " + std::to_string(kept) + " kept in the cache" : "Complete!!!";
}

std::string RefusalMessage(const std::string& folder, long long entries) {
    const std::string count =
        entries == 1 ? "1 entry stays" : std::to_string(entries) + " entries stay";
#ifdef _WIN32
    return "Windows did not let Lodestow write in " + folder + ", so " + count +
           " in the cache. To move them, start Lodestow as administrator, or move the game to a "
           "folder of your own (not under Program Files).";
#else
    return "Lodestow may not write in " + folder + ", so " + count +
           " in the cache. To move them, make that folder writable for your user, or move the "
           "game to a folder of your own.";
#endif
}

std::string CacheFilePath(const std::string& cacheName) {
    return CacheFolderPath() + cacheName + CacheFileExt();
}

std::string DestinationFilePath(const std::string& destination, const std::string& fileName) {
    return GameFolder + destination + "\\" + fileName;
}

long long ChosenTotal(const CatalogueColumns& catalogue, const RowChoice& chosen) {
    long long total = 0;
    const int rows = std::min(catalogue.RowCount(), static_cast<int>(chosen.size()));
    for (int r = 0; r < rows; ++r)
        if (chosen[static_cast<std::size_t>(r)] && catalogue.Row(r).destination != "System")
            ++total;
    return total;
}

TransferOutcome RunTransfer(CatalogueColumns& catalogue, TransferView& view,
                            const RowChoice* chosen) {
    TransferOutcome outcome;
    BusyWindow busy(view);
    std::optional<RowMover> mover;
    std::vector<RowReport>& report = Report();
    report.clear();
    try {
        const std::string total = chosen ? std::to_string(ChosenTotal(catalogue, *chosen))
                                         : catalogue.OnesToTransferText();
        view.ShowTranFrame();
        view.SetProgLbl(Caption("0", total));
        busy.Disable();
        busy.ShowBusyPointer();
        view.SetProgMax(LeadingNumber(total));
        view.SetProgMin(0.0F);
        view.SetProgValue(0.0F);

        mover.emplace(catalogue);
        report.reserve(static_cast<std::size_t>(catalogue.RowCount()));
        float value = 0.0F;
        for (int r = 0; r < catalogue.RowCount(); ++r) {
            if (chosen && (static_cast<std::size_t>(r) >= chosen->size() ||
                           !(*chosen)[static_cast<std::size_t>(r)]))
                continue;
            const CatalogueRow row = catalogue.Row(r);
            if (row.destination == "System") {
                catalogue.SetCopied(r, "Skipped");
                report.push_back({row.cacheName, row.fileName, RowFate::Skipped, {}});
                continue;
            }
            // The names come from the index, which any server can shape: an unsafe one is never
            // made into a path, so nothing is written or deleted for it.
            view.ShowCurrentEntry(row);
            const bool safe = IsSafeName(row.fileName) && IsSafeName(row.cacheName) &&
                              MovesOutOfCache(row.destination);
            report.push_back(
                safe ? mover->Move(row)
                     : RowReport{row.cacheName, row.fileName, RowFate::Kept, "name not usable"});
            const RowFate fate = report.back().fate;
            if (fate == RowFate::Moved || fate == RowFate::Duplicate) {
                catalogue.SetCopied(r, "YES");
                value += 1.0F;
                view.SetProgValue(value);
                view.SetProgLbl(Caption(WholeNumber(value), total));
                DoEvents();
            } else {
                catalogue.SetCopied(r, "Errored");
                value += 1.0F;
                view.SetProgValue(value);
            }
        }
    } catch (...) {
        outcome.walkFinished = false;
    }
    // Before the index can reflect the moves, they must be on disk.
    IgnoringFaults([&] { outcome.movesOnDisk = !mover || mover->Finish(); });
    IgnoringFaults([&] {
        if (mover) {
            outcome.refusedFolders = mover->RefusedFolders();
            outcome.refusedEntries = mover->RefusedEntries();
        }
    });

    IgnoringFaults([&] { busy.Enable(); });
    IgnoringFaults([&] { view.SetProgValue(view.ProgMax()); });
    IgnoringFaults([&] { busy.RestorePointer(); });
    IgnoringFaults([&] { view.ShowEndProg(); });
    // Rows whose package is still in the cache although it could have gone: kept versions and
    // failed moves (a row whose cache file was missing keeps nothing).
    long long kept = 0;
    IgnoringFaults([&] {
        for (const RowReport& row : report)
            if (row.fate == RowFate::Kept && (!mover || mover->StillCached(row.cacheName)))
                ++kept;
    });
    IgnoringFaults([&] { view.SetProgLbl(CompleteCaption(kept)); });
    outcome.catalogueReread = false;
    IgnoringFaults([&] { outcome.catalogueReread = ReadCacheIndex(catalogue); });
    return outcome;
}

void RunitClick(CatalogueColumns& catalogue, TransferView& view, const RowChoice* chosen) {
    // A click that arrives while a run is in progress (its events are processed at the fixed
    // points, the closing read among them) starts no second run inside the first.
    static bool running = false;
    if (running) {
        return;
    }
    running = true;
    struct Done {
        ~Done() { running = false; }
    } done;

    DoEvents();
    PlayCue(CuePath("\\winstart.wav"));
    // The game rewrites its cache index whenever it likes while it runs; a run then could lose
    // what it wrote. Nothing is touched and the window stays as it was.
    bool gameRunning = false;
    IgnoringFaults([&] { gameRunning = GameIsRunning(GameFolder); });
    if (gameRunning) {
        IgnoringFaults([&] { view.ShowProblem(GameRunningRefusal()); });
        return;
    }
    const RunStart start = RecordRunStart(catalogue);
    const TransferOutcome outcome = RunTransfer(catalogue, view, chosen);

    std::string problem;
    if (!outcome.catalogueReread) {
        if (platform::PathExists(CacheIndexPath())) {
            problem = "The cache index " + ShownIndexPath() +
                      " could not be read again after the transfer, so it was not rewritten. It "
                      "was left as it was; it may still list files that have just been moved out "
                      "of the cache.";
        } else {
            problem = "The cache index " + ShownIndexPath() +
                      " could not be read again after the transfer: it is no longer there. No "
                      "new index was written, so the files still in the cache are not listed "
                      "anywhere.";
        }
    } else if (!outcome.movesOnDisk) {
        problem = "The moved files could not be made safe on disk, so the cache index " +
                  ShownIndexPath() +
                  " was not rewritten. It was left as it was; it may still list files that have "
                  "just been moved out of the cache.";
    } else {
        try {
            RewriteCacheIndex(catalogue, &problem, &start);
        } catch (...) {
            problem = RewriteFailedMessage();
        }
    }
    if (!outcome.walkFinished) {
        std::string stopped = "The transfer stopped before the end of the list. Files that were "
                              "not moved are still in the cache.";
        problem = problem.empty() ? stopped : stopped + "\n\n" + problem;
    }
    if (!problem.empty()) {
        IgnoringFaults([&] { view.ShowProblem(problem); });
    }
    if (!outcome.refusedFolders.empty()) {
        const std::string& folder = outcome.refusedFolders.front();
        IgnoringFaults(
            [&] { view.ShowRefusal(RefusalMessage(folder, outcome.refusedEntries), folder); });
    }
    PlayCue(CuePath("\\ldoorsopen1b.wav"));
}

} // namespace UnrealMOD
