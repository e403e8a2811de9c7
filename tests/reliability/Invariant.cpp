#include "Invariant.h"

#include "catalogue/CacheIndex.h"
#include "platform/FileSystem.h"
#include "platform/PathResolver.h"
#include "support/TestSupport.h"
#include "transfer/Transfer.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>

namespace fs = std::filesystem;

namespace reliability {

namespace {

// How the tree spells a native path: UTF-8, with the system's own separators, so that a path
// built with "/" on Windows names the same entry as the scan's.
std::string Key(const fs::path& native) {
    const std::u8string text = fs::path(native).make_preferred().u8string();
    return std::string(text.begin(), text.end());
}

std::string Key(const std::string& native) {
    return Key(testsupport::Utf8Path(native));
}

// A regular file only: a link in the tree is recorded as a link, never read through.
std::optional<std::string> ReadNative(const std::string& native) {
    std::error_code ec;
    const fs::path path = testsupport::Utf8Path(native);
    if (!fs::is_regular_file(fs::symlink_status(path, ec)))
        return std::nullopt;
    return testsupport::TryReadFile(path);
}

// Through the drive's link, spelled as the tree scan spells it. On Windows the game path is the
// native path already, with "." and ".." left for the system to apply.
std::string Resolved(const std::string& windowsPath) {
#ifdef _WIN32
    return Key(testsupport::Utf8Path(windowsPath).lexically_normal());
#else
    const auto native = platform::ResolvePath(windowsPath);
    if (!native)
        return {};
    std::error_code ec;
    const fs::path path(*native);
    const fs::path folder = fs::weakly_canonical(path.parent_path(), ec);
    return ec ? *native : (folder / path.filename()).string();
#endif
}

std::string Show(const std::string& text) {
    std::string shown;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", u);
            shown += hex;
        } else {
            shown += c;
        }
    }
    return shown;
}

std::string Describe(const Entry& e) {
    return "entry \"" + Show(e.cacheName) + "=" + Show(e.fileName) + "\"";
}

std::string Preview(const std::optional<Node>& node) {
    if (!node)
        return "nothing";
    switch (node->kind) {
    case Node::Kind::Folder:
        return "a folder";
    case Node::Kind::Link:
        return "a link";
    case Node::Kind::File:
        break;
    }
    return std::to_string(node->bytes.size()) + " bytes";
}

std::optional<Node> At(const Tree& tree, const std::string& native) {
    const auto it = tree.find(native);
    if (native.empty() || it == tree.end())
        return std::nullopt;
    return it->second;
}

} // namespace

std::string TreeKey(const std::string& native) {
    return Key(native);
}

Tree ScanTree(const std::string& root) {
    Tree tree;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const std::string path = Key(it->path());
        const fs::file_status status = it->symlink_status(ec);
        Node node;
        if (fs::is_symlink(status)) {
            node.kind = Node::Kind::Link;
            node.bytes = fs::read_symlink(it->path(), ec).string();
        } else if (fs::is_directory(status)) {
            node.kind = Node::Kind::Folder;
        } else {
            node.bytes = ReadNative(path).value_or("<unreadable>");
        }
        tree[path] = node;
    }
    return tree;
}

Before Before::Take(const std::string& root) {
    Before before;
    before.root = root;
    if (const auto bytes = platform::ReadFileBytes(UnrealMOD::CacheIndexPath())) {
        const auto parsed = UnrealMOD::ParseIndexLines(UnrealMOD::DecodeIndex(*bytes).lines);
        for (const UnrealMOD::CatalogueRow& row : parsed.rows) {
            Entry e{row.cacheName, row.fileName, row.destination, "", std::nullopt};
            e.cacheNative = Resolved(UnrealMOD::CacheFilePath(row.cacheName));
            if (!e.cacheNative.empty())
                e.cacheBytes = ReadNative(e.cacheNative);
            before.entries.push_back(std::move(e));
        }
    }
    before.tree = ScanTree(root);
    return before;
}

void Before::WriteFile(const std::string& native, const std::string& bytes) {
    std::ofstream(testsupport::Utf8Path(native), std::ios::binary | std::ios::trunc) << bytes;
    const std::string key = Key(native);
    tree[key] = Node{Node::Kind::File, bytes};
    for (Entry& e : entries)
        if (e.cacheNative == key)
            e.cacheBytes = bytes;
}

void Before::RemoveFile(const std::string& native) {
    fs::remove(testsupport::Utf8Path(native));
    const std::string key = Key(native);
    tree.erase(key);
    for (Entry& e : entries)
        if (e.cacheNative == key)
            e.cacheBytes.reset();
}

std::vector<std::string> Violations(const Before& before, const std::vector<std::string>* marks) {
    std::vector<std::string> problems;
    const Tree after = ScanTree(before.root);

    // What the index lists now.
    const std::string indexNative = Resolved(UnrealMOD::CacheIndexPath());
    std::set<std::pair<std::string, std::string>> listed;
    if (const auto bytes = ReadNative(indexNative)) {
        for (const auto& row :
             UnrealMOD::ParseIndexLines(UnrealMOD::DecodeIndex(*bytes).lines).rows)
            listed.insert({row.cacheName, row.fileName});
    } else {
        problems.push_back("the cache index " + indexNative + " cannot be read after the run");
    }

    std::set<std::string> mayAppear{indexNative, Resolved(UnrealMOD::RewrittenIndexPath())};
    std::set<std::string> mayChange = mayAppear;
    std::set<std::string> mayGo;

    if (marks && marks->size() != before.entries.size())
        problems.push_back("the run marked " + std::to_string(marks->size()) + " rows of " +
                           std::to_string(before.entries.size()));

    // A destination written by several entries holds the last one's bytes.
    std::map<std::string, std::size_t> lastMover;
    std::vector<std::string> destinations(before.entries.size());
    for (std::size_t i = 0; i < before.entries.size(); ++i) {
        const Entry& e = before.entries[i];
        destinations[i] = Resolved(UnrealMOD::DestinationFilePath(e.destination, e.fileName));
        if (e.cacheBytes && !At(after, e.cacheNative) && !destinations[i].empty())
            lastMover[destinations[i]] = i;
    }

    for (std::size_t i = 0; i < before.entries.size(); ++i) {
        const Entry& e = before.entries[i];
        const std::string mark = marks && i < marks->size() ? (*marks)[i] : std::string();
        if (!e.cacheBytes) {
            // No cache file to protect; a row without one cannot have been copied.
            if (marks && mark != "Errored" && mark != "Skipped")
                problems.push_back(Describe(e) + " had no cache file but was marked " + mark);
            continue;
        }
        const std::string& dest = destinations[i];
        const std::optional<Node> cacheNow = At(after, e.cacheNative);
        const std::optional<Node> destBefore = At(before.tree, dest);
        const std::optional<Node> destNow = At(after, dest);
        if (!cacheNow) {
            mayGo.insert(e.cacheNative);
            if (dest.empty()) {
                problems.push_back(Describe(e) + ": cache file gone, no destination");
                continue;
            }
            if (lastMover[dest] != i) {
                // Another entry's package took its place: this one is lost, unless both named
                // the very same cache file.
                if (before.entries[lastMover[dest]].cacheNative != e.cacheNative)
                    problems.push_back(Describe(e) + ": cache file gone and " + dest +
                                       " holds another entry's package");
                continue;
            }
            mayAppear.insert(dest);
            mayChange.insert(dest);
            if (destBefore && destNow != destBefore)
                problems.push_back(Describe(e) + ": the installed " + dest + " was replaced");
            if (!destNow || destNow->kind != Node::Kind::File || destNow->bytes != *e.cacheBytes)
                problems.push_back(Describe(e) + ": cache file gone but " + dest + " holds " +
                                   Preview(destNow) + " instead of its " +
                                   std::to_string(e.cacheBytes->size()) + " bytes");
            if (marks && mark != "YES")
                problems.push_back(Describe(e) + ": cache file gone but marked " + mark);
            continue;
        }
        if (*cacheNow != Node{Node::Kind::File, *e.cacheBytes})
            problems.push_back(Describe(e) + ": the cache file changed (" + Preview(cacheNow) +
                               " instead of " + std::to_string(e.cacheBytes->size()) + ")");
        if (!listed.count({e.cacheName, e.fileName}))
            problems.push_back(Describe(e) +
                               ": its cache file is still there but it left the index");
        // Not moved: the destination is as it was, or (a copy whose cache file could not be
        // deleted) it holds the cache file's bytes whole. A destination that another entry's
        // package went to, or that is the index, is judged with that entry or the index.
        if (!dest.empty() && destNow != destBefore && !lastMover.count(dest) &&
            !mayAppear.count(dest)) {
            const bool whole = !destBefore && destNow && destNow->kind == Node::Kind::File &&
                               destNow->bytes == *e.cacheBytes && mark != "Errored";
            if (whole) {
                mayAppear.insert(dest);
                mayChange.insert(dest);
            } else {
                problems.push_back(Describe(e) + ": " + dest + " went from " + Preview(destBefore) +
                                   " to " + Preview(destNow));
            }
        }
    }

    // Nothing else may have appeared, changed or gone.
    for (const auto& [path, node] : after) {
        const auto old = before.tree.find(path);
        if (old == before.tree.end()) {
            if (!mayAppear.count(path))
                problems.push_back("a new " + Preview(node) + " appeared: " + Show(path));
        } else if (old->second != node && !mayChange.count(path)) {
            problems.push_back(Show(path) + " changed from " + Preview(old->second) + " to " +
                               Preview(node));
        }
    }
    for (const auto& [path, node] : before.tree)
        if (!after.count(path) && !mayGo.count(path))
            problems.push_back(Show(path) + " (" + Preview(node) + ") went");

    for (const std::string& temp : TemporaryFiles(before.root))
        problems.push_back("temporary file left: " + Show(temp));
    return problems;
}

std::vector<std::string> TemporaryFiles(const std::string& root) {
    std::vector<std::string> found;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() > 17 && name[0] == '.' &&
            name.compare(name.size() - 16, 10, ".lodestow-") == 0)
            found.push_back(it->path().string());
    }
    return found;
}

} // namespace reliability
