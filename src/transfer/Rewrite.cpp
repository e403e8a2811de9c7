#include "catalogue/CacheIndex.h"
#include "catalogue/SafeNames.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "runtime/Globals.h"
#include "transfer/Transfer.h"

#include <optional>
#include <unordered_set>
#include <utility>
#include <vector>

namespace UnrealMOD {

namespace {

// The files left in the cache, read once: probing every row on its own would search the
// folder once per row, which a large cache cannot afford. A folder that cannot be read to its end
// tells nothing, and then no entry may leave the index.
class CacheContents {
public:
    CacheContents() {
        if (const auto names = platform::ListFiles(CacheFolderPath())) {
            listed_ = true;
            for (const std::string& name : *names)
                keys_.insert(platform::FileNameKey(name));
        }
    }
    bool Listed() const { return listed_; }
    bool Holds(const std::string& cacheName) const {
        return keys_.count(platform::FileNameKey(cacheName + CacheFileExt())) != 0;
    }

private:
    bool listed_ = false;
    std::unordered_set<std::string> keys_;
};

// An entry leaves the index only when its cache file is gone; a failed copy keeps the only
// record of the file's real name. An unsafe name is never probed as a path: it simply stays.
bool KeepsEntry(const CatalogueRow& row, const CacheContents& cache) {
    if (row.destination == "System") {
        return true;
    }
    if (!IsSafeName(row.cacheName) || !IsSafeName(row.fileName)) {
        return true;
    }
    return cache.Holds(row.cacheName);
}

std::string LeftAsItWas(const std::string& why) {
    return "The cache index " + RewrittenIndexPath() + why +
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

bool RewriteCacheIndex(const CatalogueColumns& catalogue, std::string* problem) {
    const auto fail = [&](std::string message) {
        if (problem)
            *problem = std::move(message);
        return false;
    };
    // The file the run read, resolved once then; without a reading of this game's index, the
    // index as it is now.
    IndexReading reading;
    const auto cacheFolder = platform::OpenFolder(CacheFolderPath());
    if (LastIndexReading() && LastIndexReading()->path == CacheIndexPath() && cacheFolder &&
        LastIndexReading()->file.location.starts_with(cacheFolder->location)) {
        reading = *LastIndexReading();
    } else if (const auto bytes = platform::ReadFileBytes(CacheIndexPath(), reading.file)) {
        reading.digest = IndexDigest(*bytes);
        reading.encoding = DecodeIndex(*bytes).encoding;
    } else if (platform::PathExists(CacheIndexPath())) {
        return fail(RewriteFailedMessage());
    } else {
        reading.file.location = RewrittenIndexPath();
    }

    std::vector<CatalogueRow> kept;
    {
        const CacheContents cache;
        if (!cache.Listed())
            return fail(LeftAsItWas(" could not be rewritten: the cache folder could not be read, "
                                    "so which files are still in the cache is not known."));
        const int rows = catalogue.RowCount();
        for (int r = 0; r < rows; ++r) {
            CatalogueRow row = catalogue.Row(r);
            if (KeepsEntry(row, cache)) {
                kept.push_back(std::move(row));
            }
        }
    }

    // The game may add entries while the program runs: replace the index only while it still
    // holds what was read, and otherwise work from what it holds now.
    for (int attempt = 0; attempt < 5; ++attempt) {
        const std::string text = RewrittenIndexText(kept);
        std::optional<std::string> bytes = EncodeIndex(text, reading.encoding);
        if (!bytes && reading.encoding == IndexEncoding::Ansi) {
            // A name the ANSI code page cannot hold: write UTF-8 with its mark, which the game
            // and the reader both take, rather than lose or garble the name.
            bytes = EncodeIndex(text, IndexEncoding::Utf8Bom);
        }
        if (!bytes)
            return fail(RewriteFailedMessage());

        const auto now = platform::ReadFileBytes(reading.file.location);
        if (!now && platform::PathExists(reading.file.location))
            return fail(RewriteFailedMessage());
        if (!now || IndexDigest(*now) == reading.digest) {
            if (!platform::ReplaceFileAtomic(reading.file.location, *bytes))
                return fail(RewriteFailedMessage());
            return true;
        }
        const IndexText changed = DecodeIndex(*now);
        reading.digest = IndexDigest(*now);
        reading.encoding = changed.encoding;
        const CacheContents cache;
        if (!cache.Listed())
            return fail(RewriteFailedMessage());
        kept.clear();
        for (CatalogueRow& row : ParseIndexLines(changed.lines).rows) {
            if (KeepsEntry(row, cache))
                kept.push_back(std::move(row));
        }
    }
    return fail(LeftAsItWas(" could not be rewritten: it kept changing while it was being "
                            "rewritten."));
}

} // namespace UnrealMOD
