#include "catalogue/CacheIndex.h"

#include "catalogue/EntryFacts.h"

#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "runtime/DoEvents.h"
#include "runtime/Games.h"
#include "runtime/Globals.h"

#include <algorithm>
#include <functional>
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

bool HasNonAscii(std::string_view bytes) {
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return true;
    return false;
}

// Text in the ANSI code page with letters beyond ASCII is practically never valid UTF-8, and the
// maintained releases of the game write their files in UTF-8: valid UTF-8 beyond ASCII is that.
bool IsUnmarkedUtf8(std::string_view bytes) {
    return HasNonAscii(bytes) && platform::IsUtf8(bytes);
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
    } else if (IsUnmarkedUtf8(bytes)) {
        result.encoding = IndexEncoding::Utf8;
        result.lines = SplitLines(bytes);
    } else {
        result.encoding = IndexEncoding::Ansi;
        result.lines = SplitLines(platform::AnsiToUtf8(bytes));
    }
    return result;
}

std::optional<std::string> EncodeIndex(std::string_view text, IndexEncoding encoding) {
    switch (encoding) {
    case IndexEncoding::Utf8:
        return std::string(text);
    case IndexEncoding::Utf8Bom:
        return std::string(Utf8Mark) + std::string(text);
    case IndexEncoding::Utf16LeBom:
        return std::string(Utf16LeMark) + platform::Utf8ToUtf16Le(text);
    case IndexEncoding::Ansi:
        break;
    }
    auto ansi = platform::Utf8ToAnsi(text);
    if (ansi && IsUnmarkedUtf8(*ansi))
        return std::nullopt;
    return ansi;
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

std::string DestinationOfName(const std::string& fileName) {
    const GameKind& game = CurrentGame();
    if (game.id == GameId::UnrealTournament)
        return DestinationFor(LastFourCharacters(fileName));
    return GameDestinationFor(game, SettledClaims, fileName);
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

namespace {

// The catalogue row of one line of the index, when the line makes one.
std::optional<CatalogueRow> RowOfLine(const std::string& line) {
    std::string fileName = FileNameOf(line);
    if (fileName.empty()) {
        return std::nullopt;
    }
    CatalogueRow row;
    row.destination = DestinationOfName(fileName);
    row.cacheName = CacheNameOf(line);
    row.fileName = std::move(fileName);
    row.copied = "NO";
    return row;
}

constexpr std::uint64_t DigestStart = 14695981039346656037ULL;

std::uint64_t DigestMore(std::uint64_t h, std::string_view bytes) {
    for (const char c : bytes)
        h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    return h;
}

// The index's bytes, piece by piece, decoded as DecodeIndex decodes them and split into the same
// lines, without ever holding the whole file.
class LineReader {
public:
    explicit LineReader(std::function<void(const std::string&)> line) : line_(std::move(line)) {}

    void Feed(std::string_view bytes) {
        if (!decided_) {
            head_.append(bytes);
            if (head_.size() < Utf8Mark.size())
                return;
            Decide();
            bytes = head_;
            Decode(bytes);
            head_.clear();
            return;
        }
        Decode(bytes);
    }
    void End() {
        if (!decided_) {
            Decide();
            Decode(head_);
        }
        if (unmarked_)
            Check(true);
        if (!carry_.empty())
            Split(platform::Utf16LeToUtf8(carry_)); // a last odd byte or lone surrogate
        if (!partial_.empty())
            line_(partial_);
    }
    IndexEncoding Encoding() const { return encoding_; }

private:
    void Decide() {
        decided_ = true;
        std::string_view head = head_;
        if (head.starts_with(Utf16LeMark)) {
            encoding_ = IndexEncoding::Utf16LeBom;
            head_.erase(0, Utf16LeMark.size());
        } else if (head.starts_with(Utf8Mark)) {
            encoding_ = IndexEncoding::Utf8Bom;
            head_.erase(0, Utf8Mark.size());
        } else {
            unmarked_ = true;
        }
    }
    void Decode(std::string_view bytes) {
        switch (encoding_) {
        case IndexEncoding::Utf8:
        case IndexEncoding::Utf8Bom:
            Split(bytes);
            return;
        case IndexEncoding::Ansi:
            if (unmarked_)
                Hold(bytes);
            else
                Split(platform::AnsiToUtf8(bytes));
            return;
        case IndexEncoding::Utf16LeBom:
            break;
        }
        carry_.append(bytes);
        std::size_t whole = carry_.size() & ~std::size_t{1};
        // A high surrogate waits for its partner in the next piece.
        if (whole >= 2) {
            const auto unit = static_cast<unsigned>(static_cast<unsigned char>(carry_[whole - 2])) |
                              static_cast<unsigned>(static_cast<unsigned char>(carry_[whole - 1]))
                                  << 8;
            if (unit >= 0xD800 && unit <= 0xDBFF)
                whole -= 2;
        }
        Split(platform::Utf16LeToUtf8(std::string_view(carry_).substr(0, whole)));
        carry_.erase(0, whole);
    }
    // Without a mark, ASCII reads the same either way; from the first byte beyond ASCII on, the
    // bytes wait until they are known to be UTF-8 (at the end) or not (at the first malformed
    // sequence, from where on they are ANSI). Only a file that is UTF-8 is held that long.
    void Hold(std::string_view bytes) {
        if (pending_.empty()) {
            std::size_t ascii = 0;
            while (ascii < bytes.size() && static_cast<unsigned char>(bytes[ascii]) < 0x80)
                ++ascii;
            Split(bytes.substr(0, ascii));
            bytes.remove_prefix(ascii);
            if (bytes.empty())
                return;
        }
        pending_.append(bytes);
        Check(false);
    }
    // Checks the held bytes not yet checked, up to the last character that may still lack its
    // continuation bytes (or to the end, `last`). A cut before a byte that is not a continuation
    // byte leaves whole characters on both sides.
    void Check(bool last) {
        std::size_t cut = pending_.size();
        if (!last) {
            const std::size_t floor = std::max(checked_, cut >= 4 ? cut - 4 : 0);
            for (std::size_t i = cut; i > floor; --i) {
                if (!IsContinuationByte(pending_[i - 1])) {
                    cut = i - 1;
                    break;
                }
            }
        }
        if (!platform::IsUtf8(std::string_view(pending_).substr(checked_, cut - checked_))) {
            Settle(IndexEncoding::Ansi);
            return;
        }
        checked_ = cut;
        if (last)
            Settle(pending_.empty() ? IndexEncoding::Ansi : IndexEncoding::Utf8);
    }
    void Settle(IndexEncoding encoding) {
        unmarked_ = false;
        encoding_ = encoding;
        Split(encoding == IndexEncoding::Utf8 ? pending_ : platform::AnsiToUtf8(pending_));
        pending_.clear();
        pending_.shrink_to_fit();
    }
    void Split(std::string_view text) {
        for (std::size_t i = 0; i < text.size();) {
            if (afterCr_ && text[i] == '\n') {
                afterCr_ = false;
                ++i;
                continue;
            }
            afterCr_ = false;
            const std::size_t end = text.find_first_of("\r\n", i);
            if (end == std::string_view::npos) {
                partial_.append(text.substr(i));
                return;
            }
            partial_.append(text.substr(i, end - i));
            line_(partial_);
            partial_.clear();
            afterCr_ = text[end] == '\r';
            i = end + 1;
        }
    }

    std::function<void(const std::string&)> line_;
    IndexEncoding encoding_ = IndexEncoding::Ansi;
    bool decided_ = false;
    bool unmarked_ = false; // no mark, and not yet known whether UTF-8 or ANSI
    bool afterCr_ = false;
    std::string head_;
    std::string carry_;
    std::string partial_;
    std::string pending_; // unmarked bytes from the first one beyond ASCII, while still UTF-8
    std::size_t checked_ = 0;
};

} // namespace

ParsedIndex ParseIndexLines(const std::vector<std::string>& lines) {
    ParsedIndex parsed;
    parsed.rows.reserve(lines.size());
    for (const std::string& line : lines) {
        if (auto row = RowOfLine(line)) {
            if (row->destination != "System") {
                ++parsed.transferable;
            }
            parsed.rows.push_back(std::move(*row));
        }
    }
    // The found-files count is the number of entries read: counting lines instead would show 1
    // for an empty cache's index and -1 for an empty file.
    parsed.numFiles = static_cast<long long>(parsed.rows.size());
    return parsed;
}

namespace {
std::optional<IndexReading>& Reading() {
    static std::optional<IndexReading> reading;
    return reading;
}
} // namespace

const std::optional<IndexReading>& LastIndexReading() {
    return Reading();
}

bool HasSectionLine(const std::vector<std::string>& lines) {
    return std::find(lines.begin(), lines.end(), SectionLine) != lines.end();
}

std::uint64_t IndexDigest(std::string_view bytes) {
    return DigestMore(DigestStart, bytes);
}

bool ReadCacheIndex(CatalogueColumns& catalogue) {
    catalogue.Clear();
    DoEvents();
    Reading().reset();
    CatalogueFacts().Reset(); // the facts were those of the rows just cleared
    IndexReading reading;
    reading.path = CacheIndexPath();
    reading.digest = DigestStart;

    // Rows go to the catalogue in batches as the file is read: a large index is never held in
    // memory beside the catalogue it becomes.
    constexpr std::size_t Batch = 4096;
    std::vector<CatalogueRow> batch;
    long long rows = 0;
    long long transferable = 0;
    LineReader lines([&](const std::string& line) {
        if (line == SectionLine)
            reading.sectioned = true;
        if (auto row = RowOfLine(line)) {
            ++rows;
            if (row->destination != "System") {
                ++transferable;
            }
            batch.push_back(std::move(*row));
            if (batch.size() == Batch) {
                catalogue.AppendRows(batch);
                batch.clear();
            }
        }
    });
    const bool read =
        platform::ReadFilePieces(reading.path, reading.file, [&](std::string_view piece) {
            reading.digest = DigestMore(reading.digest, piece);
            lines.Feed(piece);
        });
    if (!read) {
        catalogue.Clear();
        return false;
    }
    lines.End();
    if (!batch.empty()) {
        catalogue.AppendRows(batch);
    }
    reading.encoding = lines.Encoding();
    Reading() = std::move(reading);
    // The found-files count is the number of entries read (see ParseIndexLines).
    catalogue.SetNumFilesText(std::to_string(rows));
    catalogue.SetOnesToTransferText(std::to_string(transferable));
    return true;
}

} // namespace UnrealMOD
