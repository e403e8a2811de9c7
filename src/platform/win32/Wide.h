#pragma once
// UTF-8 <-> UTF-16 for the wide Win32 calls.
#ifdef _WIN32

#include <string>
#include <string_view>

namespace platform::win32 {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view wide);

} // namespace platform::win32

#endif
