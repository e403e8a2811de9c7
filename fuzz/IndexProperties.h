#pragma once
// Properties of the cache index reader and the rewrite that must hold for any bytes at all:
//  - lines never hold a line end, and every row comes from a line with "=" and a real file name
//    after its last "=" (checked against a reading written out here on its own);
//  - no row has an empty real file name, and the counts agree with the rows;
//  - the rewritten index, encoded as the rewrite encodes it and read back, gives exactly the
//    entries it kept, in order, and an index read as ANSI can be written back as ANSI (or, where
//    those bytes would read back as UTF-8, with the UTF-8 mark).
// Shared by the fuzzer and by the test that replays its corpus in every build.

#include "catalogue/CacheIndex.h"
#include "catalogue/SafeNames.h"
#include "transfer/Transfer.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace indexfuzz {

inline std::string Quoted(const std::string& s) {
    std::string out = "\"";
    for (const char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u >= 0x7F || c == '"' || c == '\\') {
            static const char* hex = "0123456789ABCDEF";
            out += "\\x";
            out += hex[u >> 4];
            out += hex[u & 15];
        } else {
            out += c;
        }
    }
    return out + "\"";
}

inline std::string RowText(const UnrealMOD::CatalogueRow& r) {
    return Quoted(r.cacheName) + "=" + Quoted(r.fileName) + " -> " + r.destination + " " + r.copied;
}

// The first difference between two row lists, or "" when they are equal.
inline std::string Difference(const std::vector<UnrealMOD::CatalogueRow>& got,
                              const std::vector<UnrealMOD::CatalogueRow>& want) {
    for (std::size_t i = 0; i < got.size() && i < want.size(); ++i)
        if (!(got[i] == want[i]))
            return "row " + std::to_string(i) + ": " + RowText(got[i]) + " instead of " +
                   RowText(want[i]);
    if (got.size() != want.size())
        return std::to_string(got.size()) + " rows instead of " + std::to_string(want.size());
    return {};
}

// The rows a line list must give, read without the reader's own helpers.
inline std::vector<UnrealMOD::CatalogueRow> ModelRows(const std::vector<std::string>& lines) {
    std::vector<UnrealMOD::CatalogueRow> rows;
    for (const std::string& line : lines) {
        if (line.empty() || line == "[Cache]")
            continue;
        const std::size_t first = line.find('=');
        if (first == std::string::npos)
            continue;
        const std::string file = line.substr(line.rfind('=') + 1);
        if (file.empty())
            continue;
        rows.push_back({file, line.substr(0, first),
                        UnrealMOD::DestinationFor(UnrealMOD::LastFourCharacters(file)), "NO"});
    }
    return rows;
}

// What is wrong for these index bytes; "" when every property holds.
inline std::string IndexPropertyViolation(std::string_view bytes) {
    using namespace UnrealMOD;
    const IndexText decoded = DecodeIndex(bytes);
    for (const std::string& line : decoded.lines)
        if (line.find_first_of("\r\n") != std::string::npos)
            return "a line holds a line end: " + Quoted(line);

    const ParsedIndex parsed = ParseIndexLines(decoded.lines);
    if (std::string d = Difference(parsed.rows, ModelRows(decoded.lines)); !d.empty())
        return "reading: " + d;
    long long transferable = 0;
    for (const CatalogueRow& row : parsed.rows) {
        if (row.fileName.empty())
            return "a row with an empty real file name";
        if (row.destination != "System")
            ++transferable;
        // Must answer, whatever the name holds.
        (void)IsSafeName(row.fileName);
        (void)IsSafeName(row.cacheName);
    }
    if (parsed.numFiles != static_cast<long long>(parsed.rows.size()) ||
        parsed.transferable != transferable)
        return "counts " + std::to_string(parsed.numFiles) + "/" +
               std::to_string(parsed.transferable) + " for " + std::to_string(parsed.rows.size()) +
               " rows";

    // Keep the "System" rows and every other one of the rest, as a run might leave them.
    std::vector<CatalogueRow> kept;
    for (std::size_t i = 0; i < parsed.rows.size(); ++i)
        if (parsed.rows[i].destination == "System" || i % 2 == 0)
            kept.push_back(parsed.rows[i]);
    const std::string text = RewrittenIndexText(kept);

    IndexEncoding encoding = decoded.encoding;
    std::optional<std::string> written = EncodeIndex(text, encoding);
    if (!written && encoding == IndexEncoding::Ansi) {
        // As the rewrite does: the kept names of an ANSI index may be bytes that would read back
        // as UTF-8, and then go with the UTF-8 mark.
        encoding = IndexEncoding::Utf8Bom;
        written = EncodeIndex(text, encoding);
    }
    if (!written)
        return "the rewritten index cannot be encoded";
    const IndexText reread = DecodeIndex(*written);
    // Unmarked UTF-8 whose kept lines are all ASCII reads back as the same text, taken as ANSI.
    const bool ascii = std::all_of(written->begin(), written->end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (reread.encoding !=
        (encoding == IndexEncoding::Utf8 && ascii ? IndexEncoding::Ansi : encoding))
        return "the rewritten index reads back in another encoding";
    if (reread.lines.empty() || reread.lines.front() != "[Cache]" || !reread.lines.back().empty())
        return "the rewritten index does not begin with the section line and end empty";
    const ParsedIndex again = ParseIndexLines(reread.lines);
    if (std::string d = Difference(again.rows, kept); !d.empty())
        return "reading the rewritten index: " + d;
    return {};
}

} // namespace indexfuzz
