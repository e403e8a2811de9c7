#include "catalogue/CacheIndex.h"

#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "startup/DoEvents.h"
#include "startup/Globals.h"

#include <string>
#include <utility>

namespace UnrealMOD {

namespace {

constexpr std::string_view SectionLine = "[Cache]";
constexpr std::string_view Utf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view Utf16LeMark = "\xFF\xFE";

bool IsContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Splits at CR LF, CR or a lone LF. Nothing follows a final terminator, so "a\r\n" is one line
// and an empty text is none.
std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    const std::size_t size = text.size();
    for (std::size_t i = 0; i < size; ++i) {
        const char c = text[i];
        if (c != '\r' && c != '\n') {
            continue;
        }
        lines.emplace_back(text.substr(start, i - start));
        if (c == '\r' && i + 1 < size && text[i + 1] == '\n') {
            ++i;
        }
        start = i + 1;
    }
    if (start < size) {
        lines.emplace_back(text.substr(start));
    }
    return lines;
}

bool IsNoEntryLine(const std::string& line) {
    return line.empty() || line == SectionLine;
}

} // namespace

IndexText DecodeIndex(std::string_view bytes) {
    IndexText result;
    if (bytes.starts_with(Utf16LeMark)) {
        result.encoding = IndexEncoding::Utf16LeBom;
        result.lines = SplitLines(platform::Utf16LeToUtf8(bytes.substr(Utf16LeMark.size())));
    } else if (bytes.starts_with(Utf8Mark)) {
        // Kept byte for byte, also where it is not valid UTF-8, so that a rewrite gives back
        // exactly what the game wrote; such names are never used as paths (see IsSafeName).
        result.encoding = IndexEncoding::Utf8Bom;
        result.lines = SplitLines(bytes.substr(Utf8Mark.size()));
    } else {
        result.encoding = IndexEncoding::Ansi;
        result.lines = SplitLines(platform::AnsiToUtf8(bytes));
    }
    return result;
}

std::optional<std::string> EncodeIndex(std::string_view text, IndexEncoding encoding) {
    switch (encoding) {
    case IndexEncoding::Utf8Bom:
        return std::string(Utf8Mark) + std::string(text);
    case IndexEncoding::Utf16LeBom:
        return std::string(Utf16LeMark) + platform::Utf8ToUtf16Le(text);
    case IndexEncoding::Ansi:
        break;
    }
    return platform::Utf8ToAnsi(text);
}

// A line without any "=" gives no name at all: its text is not a real file name, and taking the
// whole line as one would put a made-up entry into the catalogue.
std::string FileNameOf(const std::string& line) {
    if (IsNoEntryLine(line)) {
        return {};
    }
    const auto last = line.rfind('=');
    if (last == std::string::npos) {
        return {};
    }
    return line.substr(last + 1);
}

std::string CacheNameOf(const std::string& line) {
    if (IsNoEntryLine(line)) {
        return {};
    }
    const auto first = line.find('=');
    if (first == std::string::npos) {
        return {};
    }
    return line.substr(0, first);
}

std::string DestinationFor(const std::string& tail) {
    if (tail.ends_with(".u")) {
        return "System";
    }
    if (tail == ".unr") {
        return "Maps";
    }
    if (tail == ".utx") {
        return "Textures";
    }
    if (tail == ".uax") {
        return "Sounds";
    }
    if (tail == ".int") {
        return "System";
    }
    if (tail == ".umx") {
        return "Music";
    }
    return "Unknown File";
}

std::string LastFourCharacters(const std::string& name) {
    // Walk back over whole UTF-8 sequences. A stray continuation byte (text that is not valid
    // UTF-8) counts as a character of its own, so the walk never runs past the start.
    std::size_t begin = name.size();
    for (int count = 0; count < 4 && begin > 0; ++count) {
        std::size_t lead = begin - 1;
        int back = 0;
        while (lead > 0 && IsContinuationByte(name[lead]) && back < 3) {
            --lead;
            ++back;
        }
        if (IsContinuationByte(name[lead])) {
            lead = begin - 1;
        }
        begin = lead;
    }
    return name.substr(begin);
}

std::string CacheIndexPath() {
    return CacheFolderPath() + CacheIndexName;
}

ParsedIndex ParseIndexLines(const std::vector<std::string>& lines) {
    ParsedIndex parsed;
    parsed.rows.reserve(lines.size());
    for (const std::string& line : lines) {
        std::string fileName = FileNameOf(line);
        if (fileName.empty()) {
            continue;
        }
        CatalogueRow row;
        row.destination = DestinationFor(LastFourCharacters(fileName));
        row.cacheName = CacheNameOf(line);
        row.fileName = std::move(fileName);
        row.copied = "NO";
        if (row.destination != "System") {
            ++parsed.transferable;
        }
        parsed.rows.push_back(std::move(row));
    }
    // The found-files count is the number of entries read: counting lines instead would show 1
    // for an empty cache's index and -1 for an empty file.
    parsed.numFiles = static_cast<long long>(parsed.rows.size());
    return parsed;
}

bool ReadCacheIndex(CatalogueColumns& catalogue) {
    catalogue.Clear();
    DoEvents();
    const std::optional<std::string> bytes = platform::ReadFileBytes(CacheIndexPath());
    if (!bytes) {
        return false;
    }
    const ParsedIndex parsed = ParseIndexLines(DecodeIndex(*bytes).lines);
    // One append for the whole catalogue: the window's lists take rows far faster in one go.
    catalogue.AppendRows(parsed.rows);
    catalogue.SetNumFilesText(std::to_string(parsed.numFiles));
    catalogue.SetOnesToTransferText(std::to_string(parsed.transferable));
    return true;
}

} // namespace UnrealMOD
