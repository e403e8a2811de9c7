#pragma once
// The cache index (Cache\cache.ini): "[Cache]" then one "cache name=real file name" line per
// cached package.

#include "catalogue/Catalogue.h"
#include "platform/FileSystem.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace UnrealMOD {

// How the index file was encoded on disk, so that a rewrite keeps it. Utf8: no mark, but the
// bytes are valid UTF-8 and hold at least one character beyond ASCII.
enum class IndexEncoding { Ansi, Utf8, Utf8Bom, Utf16LeBom };

struct IndexText {
    IndexEncoding encoding = IndexEncoding::Ansi;
    std::vector<std::string> lines; // UTF-8, terminators removed
};

// Decodes the file's bytes (byte-order mark; else UTF-8 when they are valid UTF-8 beyond ASCII;
// else ANSI) and splits lines at CR LF, CR or LF. The last line may lack a terminator; nothing
// follows a final terminator.
IndexText DecodeIndex(std::string_view bytes);
// Encodes UTF-8 text for the file in the given encoding (mark included). nullopt when a
// character cannot be written in the ANSI code page, or when the ANSI bytes would read back as
// UTF-8 (and so as other text).
std::optional<std::string> EncodeIndex(std::string_view text, IndexEncoding encoding);

std::string FileNameOf(const std::string& line);
std::string CacheNameOf(const std::string& line);
// tail: the last four characters of a real file name (the whole name when shorter).
std::string DestinationFor(const std::string& tail);
// The destination of a real file name for the settled game: Unreal Tournament by DestinationFor,
// another game by its ini's Paths and its own table.
std::string DestinationOfName(const std::string& fileName);
// The last four characters (not bytes) of a UTF-8 name.
std::string LastFourCharacters(const std::string& name);

std::string CacheIndexPath(); // the cache folder + CacheIndexName

// Empties the catalogue, processes pending events, reads the index and fills the catalogue and
// both counts. False when the index cannot be opened or read (the catalogue stays empty and the
// counts keep their text).
bool ReadCacheIndex(CatalogueColumns& catalogue);

// What the last successful ReadCacheIndex read: the file (pinned, so a rewrite replaces that very
// file), a digest of its bytes (so a rewrite can tell whether it changed since) and its encoding.
struct IndexReading {
    std::string path; // CacheIndexPath() at the time of the read
    platform::PinnedFile file;
    std::uint64_t digest = 0;
    IndexEncoding encoding = IndexEncoding::Ansi;
    bool sectioned = false; // it held the "[Cache]" line, which the game writes first
};
const std::optional<IndexReading>& LastIndexReading();
// Whether decoded lines hold the "[Cache]" line: an index that lost it was cut short.
bool HasSectionLine(const std::vector<std::string>& lines);
std::uint64_t IndexDigest(std::string_view bytes);

// The rows and found-files count for already decoded lines (no I/O): the reading rule itself.
struct ParsedIndex {
    std::vector<CatalogueRow> rows;
    long long numFiles = 0; // the found-files count
    long long transferable = 0;
};
ParsedIndex ParseIndexLines(const std::vector<std::string>& lines);

} // namespace UnrealMOD
