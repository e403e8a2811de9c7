#include "transfer/Transfer.h"

#include "catalogue/CacheIndex.h"
#include "startup/Copier.h"
#include "startup/DoEvents.h"
#include "startup/Globals.h"
#include "startup/PlayCue.h"
#include "transfer/SafeNames.h"

#include <array>
#include <charconv>
#include <cmath>
#include <string_view>

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
    try {
        const std::string total = catalogue.OnesToTransferText();
        view.ShowTranFrame();
        view.SetProgLbl(Caption("0", total));
        busy.Disable();
        busy.ShowBusyPointer();
        view.SetProgMax(LeadingNumber(total));
        view.SetProgMin(0.0F);
        view.SetProgValue(0.0F);

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
            const std::string cacheFile = CacheFilePath(row.cacheName);
            if (safe && Copier::CopyIfExists(cacheFile,
                                             DestinationFilePath(row.destination, row.fileName))) {
                catalogue.SetCopied(r, "YES");
                value += 1.0F;
                view.SetProgValue(value);
                view.SetProgLbl(Caption(WholeNumber(value), total));
                // Only now that the destination is complete may the cached copy go.
                Copier::KillIfExists(cacheFile);
            } else {
                catalogue.SetCopied(r, "Errored");
                value += 1.0F;
                view.SetProgValue(value);
            }
        }
    } catch (...) {
        outcome.walkFinished = false;
    }

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
    DoEvents();
    PlayCue(CuePath("\\winstart.wav"));
    const TransferOutcome outcome = RunTransfer(catalogue, view);

    std::string problem;
    if (!outcome.catalogueReread) {
        problem = "The cache index " + CacheIndexPath() +
                  " could not be read again after the transfer, so it was not rewritten. It was "
                  "left as it was; it may still list files that have just been moved out of the "
                  "cache.";
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
