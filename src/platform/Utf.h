#pragma once
// Internal helpers of the platform layer: UTF-8 decoding and encoding, the letter-case rule used
// to match file names on POSIX, and directory-search wildcards. Pure functions, no system calls.

#include <string>
#include <string_view>

namespace platform::utf {

inline constexpr char32_t kReplacement = 0xFFFD;

// Decodes one code point at `pos` and advances `pos`. Malformed input (overlong forms, surrogates,
// values above U+10FFFF, truncated sequences) yields U+FFFD and skips the maximal bad subpart.
char32_t DecodeUtf8(std::string_view text, std::size_t& pos);
// Like DecodeUtf8 but reports malformed input as false instead of substituting.
bool DecodeUtf8Strict(std::string_view text, std::size_t& pos, char32_t& out);
void AppendUtf8(std::string& out, char32_t cp);

// The simple Unicode uppercase mapping of a code point (UnicodeData.txt): one to one, no special
// casing, so U+0130 and U+00DF stay themselves. Names that agree after it are one name.
char32_t SimpleUpper(char32_t cp);
// The folded form of a UTF-8 string as code points, each mapped by SimpleUpper. Bytes that are not
// valid UTF-8 fold to private values of their own, so they still compare equal only to themselves.
std::u32string Folded(std::string_view utf8);
bool EqualIgnoringCase(std::string_view a, std::string_view b);
// Strict weak order: case-insensitive first, byte order to break ties.
bool LessIgnoringCase(std::string_view a, std::string_view b);

// Directory-search pattern: '*' matches any run of characters, '?' exactly one character (code
// point); the rest compares case-insensitively. "*.*" matches every name, as on Windows.
bool WildcardMatch(std::string_view pattern, std::string_view name);
bool HasWildcard(std::string_view name);

} // namespace platform::utf
