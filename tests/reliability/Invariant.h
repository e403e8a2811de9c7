#pragma once
// The promise every reliability test checks after a run, whatever went wrong during it:
//  - every entry of the index before the run either has its destination file holding exactly the
//    bytes of its cache file, with the cache file gone, or still has its cache file in the cache,
//    unchanged, and is still listed in the index;
//  - no two entries' packages end in one destination file;
//  - a destination file that existed before is unchanged: it is never replaced (a cache file
//    may go only when it held the very same bytes);
//  - nothing else in the tree appeared, changed or went: no partial or temporary file anywhere,
//    nothing written or deleted outside the destinations and the cache.
// GameFolder, CacheIndexName and WINEPREFIX must point at the game while it is used.

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace reliability {

struct Node {
    enum class Kind { File, Folder, Link } kind = Kind::File;
    std::string bytes; // files only
    bool operator==(const Node&) const = default;
};
using Tree = std::map<std::string, Node>; // native path -> what is there

// Everything under a native folder (symbolic links are recorded, not followed).
Tree ScanTree(const std::string& root);

struct Entry {
    std::string cacheName;
    std::string fileName;
    std::string destination;
    std::string cacheNative;               // empty when the path does not resolve
    std::optional<std::string> cacheBytes; // nullopt: no cache file before the run
};

class Before {
public:
    // Reads the index the way the program does and records the tree under root.
    static Before Take(const std::string& root);

    // The world changing under the program during the run (a fault being injected): the picture
    // follows, so that the check judges the program against the files it really met.
    void WriteFile(const std::string& native, const std::string& bytes);
    void RemoveFile(const std::string& native);

    std::string root;
    std::vector<Entry> entries;
    Tree tree;
};

// How the tree spells a native path (the key of Before::tree).
std::string TreeKey(const std::string& native);

// What is wrong after the run; empty when the promise holds. `marks` (the copied states the run
// set, one per row in row order, when known) adds: a row marked "Errored" changed nothing, and a
// row whose cache file went is marked "YES".
std::vector<std::string> Violations(const Before& before,
                                    const std::vector<std::string>* marks = nullptr);

// Files under root whose name is the program's temporary pattern (".name.lodestow-XXXXXX").
std::vector<std::string> TemporaryFiles(const std::string& root);

} // namespace reliability
