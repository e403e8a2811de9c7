#pragma once
// What every Win32 platform file starts with: <windows.h> without its min/max macros and rarely
// used parts, and UTF-8 <-> UTF-16 for the wide Win32 calls.
#ifdef _WIN32

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>
#include <string_view>

namespace platform::win32 {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view wide);
// Uppercases each UTF-16 unit by the system's table: two names that NTFS (and CompareStringOrdinal
// ignoring case) takes for one become the same text.
void UppercaseUnits(std::wstring& text);

} // namespace platform::win32

#endif
