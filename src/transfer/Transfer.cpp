#include "transfer/Transfer.h"

#include "catalogue/CacheIndex.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "runtime/DoEvents.h"
#include "runtime/GameRunning.h"
#include "runtime/Globals.h"
#include "runtime/PlayCue.h"
#include "transfer/SafeNames.h"

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

constexpr std::array<std::string_view, 5> TransferFolders = {"Maps", "Textures", "Sounds", "Music",
                                                             "Unknown File"};

bool IsTransferFolder(const std::string& destination) {
    for (std::string_view folder : TransferFolders) {
        if (destination == folder) {
            return true;
        }
    }
    return false;
}

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

// A folder of the game as the run sees it: resolved and listed once, then kept up to date with
// the run's own changes, so that finding a name in it costs the same however full it is.
class RunFolder {
public:
    bool Open(const std::string& path) {
        folder_ = platform::OpenFolder(path);
        if (!folder_)
            return false;
        const auto entries = platform::ReadFolder(*folder_);
        if (!entries) {
            folder_.reset();
            return false;
        }
        for (const platform::FolderEntry& entry : *entries)
            Add(entry.name, entry.regularFile);
        return true;
    }
    const platform::Folder& Location() const { return *folder_; }

    // The name the directory search gives `name`: the exact name when it is there, otherwise the
    // match without regard to letter case that sorts first. filesOnly: regular files only.
    std::optional<std::string> Find(const std::string& name, bool filesOnly) const {
        const auto it = byKey_.find(platform::FileNameKey(name));
        if (it == byKey_.end())
            return std::nullopt;
        const std::pair<std::string, bool>* best = nullptr;
        for (const auto& candidate : it->second) {
            if (filesOnly && !candidate.second)
                continue;
            if (candidate.first == name)
                return name;
            if (!best || candidate.first < best->first)
                best = &candidate;
        }
        return best ? std::optional<std::string>(best->first) : std::nullopt;
    }
    void Add(const std::string& name, bool regularFile) {
        auto& names = byKey_[platform::FileNameKey(name)];
        for (auto& existing : names) {
            if (existing.first == name) {
                existing.second = regularFile;
                return;
            }
        }
        names.emplace_back(name, regularFile);
    }
    void Remove(const std::string& name) {
        const auto it = byKey_.find(platform::FileNameKey(name));
        if (it == byKey_.end())
            return;
        std::erase_if(it->second, [&](const auto& entry) { return entry.first == name; });
        if (it->second.empty())
            byKey_.erase(it);
    }

private:
    std::optional<platform::Folder> folder_;
    std::unordered_map<std::string, std::vector<std::pair<std::string, bool>>> byKey_;
};

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

    // True when the row's package now lies in its destination folder.
    bool Move(const CatalogueRow& row) {
        if (!cacheOpen_)
            return false;
        const std::string cacheFile = row.cacheName + CacheFileExt();
        if (cacheUses_[platform::FileNameKey(cacheFile)] != 1)
            return false;
        Destination* to = DestinationFolder(row.destination);
        if (!to)
            return false;
        // One package per destination file and run: a second entry that lands on a file this
        // run has written (same name, other letter case, same name once decoded) would replace
        // the first package.
        const std::string key = platform::FileNameKey(row.fileName);
        if (to->written.count(key))
            return false;
        const auto from = cache_.Find(cacheFile, true);
        if (!from)
            return false;
        const std::string toName = to->folder->Find(row.fileName, false).value_or(row.fileName);
        switch (batch_.Move(cache_.Location(), *from, to->folder->Location(), toName)) {
        case platform::MoveResult::Moved:
            cache_.Remove(*from);
            break;
        case platform::MoveResult::CopiedSourceKept:
            break;
        case platform::MoveResult::SameFile:
        case platform::MoveResult::SourceChanged:
        case platform::MoveResult::Failed:
            return false;
        }
        to->folder->Add(toName, true);
        to->written.insert(key);
        return true;
    }

    // Every move of the run is on disk (false when that cannot be made sure).
    bool Finish() { return batch_.Finish(); }

private:
    struct Destination {
        RunFolder* folder = nullptr;
        std::unordered_set<std::string> written;
    };

    Destination* DestinationFolder(const std::string& name) {
        const auto known = byName_.find(name);
        if (known != byName_.end())
            return known->second;
        Destination* result = nullptr;
        auto folder = std::make_unique<RunFolder>();
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

    RunFolder cache_;
    bool cacheOpen_ = false;
    std::unordered_map<std::string, int> cacheUses_;
    std::vector<std::unique_ptr<RunFolder>> folders_;
    std::map<FolderKey, Destination> byIdentity_;
    std::map<std::string, Destination*> byName_;
    platform::MoveBatch batch_;
};

} // namespace

std::string CacheFilePath(const std::string& cacheName) {
    return CacheFolderPath() + cacheName + CacheFileExt();
}

std::string DestinationFilePath(const std::string& destination, const std::string& fileName) {
    return GameFolder + destination + "\\" + fileName;
}

TransferOutcome RunTransfer(CatalogueColumns& catalogue, TransferView& view) {
    TransferOutcome outcome;
    BusyWindow busy(view);
    std::optional<RowMover> mover;
    try {
        const std::string total = catalogue.OnesToTransferText();
        view.ShowTranFrame();
        view.SetProgLbl(Caption("0", total));
        busy.Disable();
        busy.ShowBusyPointer();
        view.SetProgMax(LeadingNumber(total));
        view.SetProgMin(0.0F);
        view.SetProgValue(0.0F);

        mover.emplace(catalogue);
        float value = 0.0F;
        for (int r = 0; r < catalogue.RowCount(); ++r) {
            const CatalogueRow row = catalogue.Row(r);
            if (row.destination == "System") {
                catalogue.SetCopied(r, "Skipped");
                continue;
            }
            // The names come from the index, which any server can shape: an unsafe one is never
            // made into a path, so nothing is written or deleted for it.
            const bool safe = IsSafeName(row.fileName) && IsSafeName(row.cacheName) &&
                              IsTransferFolder(row.destination);
            if (safe && mover->Move(row)) {
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

    IgnoringFaults([&] { busy.Enable(); });
    IgnoringFaults([&] { view.SetProgValue(view.ProgMax()); });
    IgnoringFaults([&] { busy.RestorePointer(); });
    IgnoringFaults([&] { view.ShowEndProg(); });
    IgnoringFaults([&] { view.SetProgLbl("Complete!!!"); });
    outcome.catalogueReread = false;
    IgnoringFaults([&] { outcome.catalogueReread = ReadCacheIndex(catalogue); });
    return outcome;
}

void RunitClick(CatalogueColumns& catalogue, TransferView& view) {
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
    const TransferOutcome outcome = RunTransfer(catalogue, view);

    std::string problem;
    if (!outcome.catalogueReread) {
        if (platform::PathExists(CacheIndexPath())) {
            problem = "The cache index " + CacheIndexPath() +
                      " could not be read again after the transfer, so it was not rewritten. It "
                      "was left as it was; it may still list files that have just been moved out "
                      "of the cache.";
        } else {
            problem = "The cache index " + CacheIndexPath() +
                      " could not be read again after the transfer: it is no longer there. No "
                      "new index was written, so the files still in the cache are not listed "
                      "anywhere.";
        }
    } else if (!outcome.movesOnDisk) {
        problem = "The moved files could not be made safe on disk, so the cache index " +
                  CacheIndexPath() +
                  " was not rewritten. It was left as it was; it may still list files that have "
                  "just been moved out of the cache.";
    } else {
        try {
            RewriteCacheIndex(catalogue, &problem);
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
    PlayCue(CuePath("\\ldoorsopen1b.wav"));
}

} // namespace UnrealMOD
