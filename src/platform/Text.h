#pragma once
// Text conversions at the edge. Inside the program all text is UTF-8.

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The system's ANSI code page (Windows: the active code page; POSIX: Windows-1252).
std::string AnsiToUtf8(std::string_view ansi);
// nullopt when a character has no place in the code page.
std::optional<std::string> Utf8ToAnsi(std::string_view utf8);

// True when the bytes are well-formed UTF-8 (plain ASCII is).
bool IsUtf8(std::string_view bytes);

// UTF-16 little endian, without a byte-order mark. Invalid sequences become U+FFFD.
std::string Utf16LeToUtf8(std::string_view bytes);
std::string Utf8ToUtf16Le(std::string_view utf8);

// A file name in the form used to compare names without regard to letter case: two names
// that the directory search takes for the same file give the same key. Windows: each UTF-16 unit
// uppercased by the system's table, the comparison NTFS and CompareStringOrdinal (ignoring case)
// make. POSIX: each code point's simple Unicode uppercase mapping (utf::SimpleUpper).
std::string FileNameKey(std::string_view utf8);

} // namespace platform
