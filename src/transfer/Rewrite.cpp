#include "catalogue/CacheIndex.h"
#include "catalogue/SafeNames.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "runtime/Globals.h"
#include "transfer/Transfer.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <thread>
#include <unordered_set>
#include <utility>
#include <vector>

namespace UnrealMOD {

namespace {

// How often, and for how long in all (about a second), an index that looks cut short is read
// again before the rewrite gives up: the game saves its ini by emptying it and writing it anew.
constexpr int CutShortRetries = 8;
// Passes of the rewrite while the replaced index keeps being written into after it was read.
constexpr int Passes = 5;

void Pause(int attempt) {
    std::this_thread::sleep_for(std::chrono::milliseconds(25 * (attempt + 1)));
}

// The files left in the cache, read once: probing every row on its own would search the
// folder once per row, which a large cache cannot afford. A folder that cannot be read to its end
// tells nothing, and then no entry may leave the index.
class CacheContents {
public:
    CacheContents() {
        if (const auto names = platform::ListFiles(CacheFolderPath())) {
            listed_ = true;
            for (const std::string& name : *names) {
                exact_.insert(name);
                keys_.insert(platform::FileNameKey(name));
            }
        }
    }
    bool Listed() const { return listed_; }
    bool HoldsExactly(const std::string& file) const { return exact_.count(file) != 0; }
    bool HoldsAnySpelling(const std::string& file) const {
        return keys_.count(platform::FileNameKey(file)) != 0;
    }
    std::unordered_set<std::string> TakeNames() { return std::move(exact_); }

private:
    bool listed_ = false;
    std::unordered_set<std::string> exact_;
    std::unordered_set<std::string> keys_;
};

// An entry leaves the index only when its cache file is gone; a failed copy keeps the only
// record of the file's real name. An unsafe name is never probed as a path: it simply stays.
bool KeepsEntry(const CatalogueRow& row, const CacheContents& cache, const RunStart* start) {
    if (row.destination == "System") {
        return true;
    }
    if (!IsSafeName(row.cacheName) || !IsSafeName(row.fileName)) {
        return true;
    }
    const std::string file = row.cacheName + CacheFileExt();
    if (cache.HoldsExactly(file))
        return true;
    // Another spelling is the entry's file where the system ignores letter case (and the one the
    // game then opens), but not once the file of that exact name went during the run: the other
    // spelling is then a stray file, which the next run would take for this entry.
    if (start && start->cacheListed && start->cacheFiles.count(file))
        return false;
    return cache.HoldsAnySpelling(file);
}

// Every entry met so far, each once, in the order first met.
class Entries {
public:
    static std::string Key(const CatalogueRow& row) { return row.cacheName + '=' + row.fileName; }
    void Add(const std::vector<CatalogueRow>& rows) {
        for (const CatalogueRow& row : rows)
            if (keys_.insert(Key(row)).second)
                rows_.push_back(row);
    }
    const std::vector<CatalogueRow>& Rows() const { return rows_; }

private:
    std::vector<CatalogueRow> rows_;
    std::unordered_set<std::string> keys_;
};

std::vector<CatalogueRow> RowsOf(const CatalogueColumns& catalogue) {
    std::vector<CatalogueRow> rows;
    rows.reserve(static_cast<std::size_t>(catalogue.RowCount()));
    for (int r = 0; r < catalogue.RowCount(); ++r)
        rows.push_back(catalogue.Row(r));
    return rows;
}

// The last reading, when it was of this game's index (resolved then, inside this cache folder).
const IndexReading* ThisIndexReading() {
    const auto& last = LastIndexReading();
    if (!last || last->path != CacheIndexPath())
        return nullptr;
    const auto cacheFolder = platform::OpenFolder(CacheFolderPath());
    if (!cacheFolder || !last->file.location.starts_with(cacheFolder->location))
        return nullptr;
    return &*last;
}

std::string LeftAsItWas(const std::string& why) {
    return "The cache index " + ShownIndexPath() + why +
           " It was left as it was; it may still list files that have just been moved out of "
           "the cache.";
}

} // namespace

std::string RewriteFailedMessage() {
    return LeftAsItWas(" could not be rewritten.");
}

std::string RewrittenIndexPath() {
    return CacheFolderPath() + "Cache.ini";
}

std::string ShownIndexPath() {
    const IndexReading* reading = ThisIndexReading();
    return platform::ShownPath(reading ? reading->file.location : CacheIndexPath());
}

RunStart RecordRunStart(const CatalogueColumns& catalogue) {
    RunStart start;
    const IndexReading* reading = ThisIndexReading();
    start.fromIndex = reading != nullptr;
    start.sectioned = reading && reading->sectioned;
    start.entries = RowsOf(catalogue);
    CacheContents cache;
    start.cacheListed = cache.Listed();
    start.cacheFiles = cache.TakeNames();
    return start;
}

std::string RewrittenIndexText(const std::vector<CatalogueRow>& kept) {
    std::string text = "[Cache]\r\n";
    for (const CatalogueRow& row : kept) {
        text += row.cacheName;
        text += '=';
        text += row.fileName;
        text += "\r\n";
    }
    text += "\r\n";
    return text;
}

bool RewriteCacheIndex(const CatalogueColumns& catalogue, std::string* problem,
                       const RunStart* start) {
    const auto fail = [&](std::string message) {
        if (problem)
            *problem = std::move(message);
        return false;
    };
    // The file the run read, resolved once then; without a reading of this game's index, the
    // index as it is now.
    IndexReading reading;
    const IndexReading* before = ThisIndexReading();
    if (before) {
        reading = *before;
    } else if (const auto bytes = platform::ReadFileBytes(CacheIndexPath(), reading.file)) {
        reading.encoding = DecodeIndex(*bytes).encoding;
    } else if (platform::PathExists(CacheIndexPath())) {
        return fail(RewriteFailedMessage());
    } else {
        reading.file.location = RewrittenIndexPath();
    }

    // The game may save the index (emptying it, then writing it anew) at any moment, so no one
    // reading is trusted alone: an entry listed when the run began, or by the closing read, or
    // by any later reading, leaves only when its cache file is gone.
    Entries seen;
    const std::vector<CatalogueRow> closing = RowsOf(catalogue);
    if (start)
        seen.Add(start->entries);
    seen.Add(closing);
    // What a whole index holds at least: every entry of the first trusted reading that stays.
    const bool fromStart = start && start->fromIndex;
    const std::vector<CatalogueRow>* baseline = fromStart ? &start->entries
                                                : before  ? &closing
                                                          : nullptr;
    const bool sectioned = fromStart ? start->sectioned : before && before->sectioned;

    for (int pass = 0; pass < Passes; ++pass) {
        const CacheContents cache;
        if (!cache.Listed())
            return fail(LeftAsItWas(" could not be rewritten: the cache folder could not be read, "
                                    "so which files are still in the cache is not known."));
        const auto keeps = [&](const CatalogueRow& row) { return KeepsEntry(row, cache, start); };
        const std::size_t expected =
            baseline
                ? static_cast<std::size_t>(std::count_if(baseline->begin(), baseline->end(), keeps))
                : 0;

        // The index as it is now, held open: what is written into it after this reading can
        // still be found there once it has been replaced.
        platform::HeldFile held;
        std::string bytes;
        IndexText text;
        std::vector<CatalogueRow> rows;
        for (int attempt = 0;; ++attempt) {
            held = platform::HeldFile(reading.file.location);
            if (held.IsOpen()) {
                auto now = held.Read();
                if (!now)
                    return fail(RewriteFailedMessage());
                bytes = std::move(*now);
            } else if (platform::PathExists(reading.file.location)) {
                return fail(RewriteFailedMessage());
            } else {
                bytes.clear(); // gone meanwhile: a new index takes its place
            }
            text = DecodeIndex(bytes);
            rows = ParseIndexLines(text.lines).rows;
            const bool cutShort =
                rows.size() < expected || (sectioned && !HasSectionLine(text.lines));
            if (!baseline || !cutShort)
                break;
            if (attempt == CutShortRetries)
                return fail(LeftAsItWas(
                    " could not be rewritten: each time it was read it looked cut short, as if "
                    "the game was saving it at that moment."));
            Pause(attempt);
        }

        // The index's own order first, then whatever it no longer lists but must.
        std::vector<CatalogueRow> kept;
        std::unordered_set<std::string> listed;
        for (const CatalogueRow& row : rows) {
            listed.insert(Entries::Key(row));
            if (keeps(row))
                kept.push_back(row);
        }
        for (const CatalogueRow& row : seen.Rows())
            if (!listed.count(Entries::Key(row)) && keeps(row))
                kept.push_back(row);
        seen.Add(rows);

        const IndexEncoding encoding = bytes.empty() ? reading.encoding : text.encoding;
        const std::string newText = RewrittenIndexText(kept);
        std::optional<std::string> out = EncodeIndex(newText, encoding);
        if (!out && encoding == IndexEncoding::Ansi) {
            // A name the ANSI code page cannot hold: write UTF-8 with its mark, which the game
            // and the reader both take, rather than lose or garble the name.
            out = EncodeIndex(newText, IndexEncoding::Utf8Bom);
        }
        if (!out)
            return fail(RewriteFailedMessage());
        if (!platform::ReplaceFileAtomic(reading.file.location, *out)) {
            // Windows gives a file's name to another only once nobody holds the file open.
            held.Close();
            if (!platform::ReplaceFileAtomic(reading.file.location, *out))
                return fail(RewriteFailedMessage());
        }

        // Whoever had the old index open may have written into it after it was read; the new
        // index knows nothing of that. Once its writer holds still, what it wrote is taken into
        // the next pass.
        std::optional<std::string> after = held.IsOpen() ? held.Read() : std::nullopt;
        if (!after || *after == bytes)
            return true;
        for (int attempt = 0; attempt < CutShortRetries; ++attempt) {
            Pause(attempt);
            auto again = held.Read();
            if (!again || *again == *after)
                break;
            after = std::move(again);
        }
        seen.Add(ParseIndexLines(DecodeIndex(*after).lines).rows);
    }
    return fail(LeftAsItWas(" could not be rewritten: it kept changing while it was being "
                            "rewritten."));
}

} // namespace UnrealMOD
