#pragma once
// Names from the cache index are the players' downloads' and may hold anything: they are shown
// as valid UTF-8 with every control character escaped.

#include <cstdint>
#include <string>
#include <string_view>

namespace cli {

// Appends `text` as a JSON string, quotes included. A byte that is not valid UTF-8 becomes
// U+FFFD; control characters and the marks that reorder text are written as \u escapes.
void AppendJsonString(std::string& out, std::string_view text);

// The same for a line of text: invalid bytes become U+FFFD, control characters and reordering
// marks \xNN or \uNNNN, a backslash stays a backslash.
std::string ShownText(std::string_view text);

// How many columns a UTF-8 text takes (one per code point).
std::size_t Columns(std::string_view text);

// Seconds since 1970 as ISO 8601 UTC ("2024-05-01T12:00:00Z").
std::string IsoTime(std::int64_t seconds);

// "0 B", "512 B", "1.5 KB", "12.0 MB", "1.2 GB" (powers of 1024).
std::string ShortSize(std::uint64_t bytes);

} // namespace cli
