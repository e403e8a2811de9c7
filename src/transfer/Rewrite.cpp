#include "catalogue/CacheIndex.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "startup/Copier.h"
#include "startup/Globals.h"
#include "transfer/SafeNames.h"
#include "transfer/Transfer.h"

#include <optional>
#include <unordered_set>
#include <utility>
#include <vector>

namespace UnrealMOD {

namespace {

// The encoding of the index as it is on disk now, so that the rewrite keeps it.
IndexEncoding EncodingOnDisk() {
    const std::optional<std::string> bytes = platform::ReadFileBytes(CacheIndexPath());
    if (!bytes) {
        return IndexEncoding::Ansi;
    }
    return DecodeIndex(bytes->substr(0, 3)).encoding;
}

// The files left in the cache, read once: probing every row on its own would search the
// folder once per row, which a large cache cannot afford.
class CacheContents {
public:
    CacheContents() {
        if (const auto names = platform::ListFiles(CacheFolderPath())) {
            listed_ = true;
            for (const std::string& name : *names)
                keys_.insert(platform::FileNameKey(name));
        }
    }
    bool Holds(const std::string& cacheName) const {
        if (!listed_)
            return Copier::FileExists(CacheFilePath(cacheName));
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

} // namespace

std::string RewriteFailedMessage() {
    return "The cache index " + RewrittenIndexPath() +
           " could not be rewritten. It was left as it was; it may still list files that have "
           "just been moved out of the cache.";
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
    std::vector<CatalogueRow> kept;
    const int rows = catalogue.RowCount();
    const CacheContents cache;
    for (int r = 0; r < rows; ++r) {
        CatalogueRow row = catalogue.Row(r);
        if (KeepsEntry(row, cache)) {
            kept.push_back(std::move(row));
        }
    }
    const std::string text = RewrittenIndexText(kept);

    const IndexEncoding encoding = EncodingOnDisk();
    std::optional<std::string> bytes = EncodeIndex(text, encoding);
    if (!bytes && encoding == IndexEncoding::Ansi) {
        // A name the ANSI code page cannot hold: write UTF-8 with its mark, which the game and
        // the reader both take, rather than lose or garble the name.
        bytes = EncodeIndex(text, IndexEncoding::Utf8Bom);
    }

    const std::string path = RewrittenIndexPath();
    if (!bytes || !platform::ReplaceFileAtomic(path, *bytes)) {
        if (problem) {
            *problem = RewriteFailedMessage();
        }
        return false;
    }
    return true;
}

} // namespace UnrealMOD
