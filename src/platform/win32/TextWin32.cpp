// Text conversions on Windows: the ANSI code page is the system's active one.
#ifdef _WIN32

#include "platform/Text.h"
#include "platform/win32/Wide.h"

#include <climits>

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
