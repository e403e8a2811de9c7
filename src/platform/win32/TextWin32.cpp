// Text conversions on Windows: the ANSI code page is the system's active one.
#ifdef _WIN32

#include "platform/Text.h"
#include "platform/win32/Wide.h"

#include <array>
#include <climits>
#include <cstdint>

namespace platform {

namespace {

// Text of the given code page as UTF-16; empty when it is empty, too long or (with
// MB_ERR_INVALID_CHARS) not valid in that code page.
std::wstring ToWide(UINT codePage, DWORD flags, std::string_view text) {
    if (text.empty() || text.size() > INT_MAX)
        return {};
    const int size = static_cast<int>(text.size());
    const int n = ::MultiByteToWideChar(codePage, flags, text.data(), size, nullptr, 0);
    if (n <= 0)
        return {};
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(codePage, flags, text.data(), size, wide.data(), n);
    return wide;
}

} // namespace

namespace win32 {

std::wstring Widen(std::string_view utf8) {
    return ToWide(CP_UTF8, 0, utf8);
}

std::string Narrow(std::wstring_view wide) {
    if (wide.empty() || wide.size() > INT_MAX)
        return {};
    const int size = static_cast<int>(wide.size());
    const int n =
        ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return {};
    std::string utf8(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), n, nullptr, nullptr);
    return utf8;
}

} // namespace win32

namespace {

// The system's uppercase mapping of every UTF-16 unit, the table CompareStringOrdinal applies unit
// by unit when it ignores case. Surrogates stay themselves: a character outside the BMP equals
// only itself there, although a whole-string LCMapStringEx would uppercase some of them.
const std::array<wchar_t, 0x10000>& UpperUnits() {
    static const std::array<wchar_t, 0x10000> table = [] {
        std::array<wchar_t, 0x10000> t{};
        std::wstring units;
        units.reserve(t.size());
        for (std::size_t u = 0; u < t.size(); ++u) {
            t[u] = static_cast<wchar_t>(u);
            if (u != 0 && (u < 0xD800 || u > 0xDFFF))
                units += static_cast<wchar_t>(u);
        }
        const int n = static_cast<int>(units.size());
        std::wstring upper(units.size(), L'\0');
        if (::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, units.data(), n, upper.data(),
                            n, nullptr, nullptr, 0) == n) {
            for (std::size_t i = 0; i < units.size(); ++i)
                t[units[i]] = upper[i];
            return t;
        }
        // Unit by unit when the one call did not map one unit to one.
        for (const wchar_t u : units) {
            wchar_t one = u;
            if (::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, &u, 1, &one, 1, nullptr,
                                nullptr, 0) == 1)
                t[u] = one;
        }
        return t;
    }();
    return table;
}

} // namespace

void win32::UppercaseUnits(std::wstring& text) {
    const auto& upper = UpperUnits();
    for (wchar_t& unit : text)
        unit = upper[static_cast<std::uint16_t>(unit)];
}

std::string FileNameKey(std::string_view utf8) {
    // The name as the system will see it (malformed UTF-8 becomes U+FFFD there too).
    std::wstring wide = win32::Widen(utf8);
    win32::UppercaseUnits(wide);
    return std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(wchar_t));
}

std::string AnsiToUtf8(std::string_view ansi) {
    return win32::Narrow(ToWide(CP_ACP, 0, ansi));
}

std::optional<std::string> Utf8ToAnsi(std::string_view utf8) {
    if (utf8.empty())
        return std::string();
    const std::wstring wide = ToWide(CP_UTF8, MB_ERR_INVALID_CHARS, utf8);
    if (wide.empty())
        return std::nullopt; // too long, or not valid UTF-8
    const int wn = static_cast<int>(wide.size());

    // With UTF-8 as the active code page everything fits; the API then refuses the
    // default-character arguments, so they are passed only for real code pages.
    const UINT codePage = ::GetACP();
    const bool utf8Page = codePage == CP_UTF8;
    const DWORD flags = utf8Page ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* usedDefaultArg = utf8Page ? nullptr : &usedDefault;
    const int n =
        ::WideCharToMultiByte(CP_ACP, flags, wide.data(), wn, nullptr, 0, nullptr, usedDefaultArg);
    if (n <= 0 || usedDefault)
        return std::nullopt;
    std::string ansi(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_ACP, flags, wide.data(), wn, ansi.data(), n, nullptr, usedDefaultArg);
    if (usedDefault)
        return std::nullopt;
    return ansi;
}

} // namespace platform

#endif // _WIN32
