// Installed programs on Windows: the registry, and final paths for telling folders apart.
#ifdef _WIN32

#include "platform/win32/Wide.h"

#include "platform/Places.h"

#include <string_view>
#include <vector>

namespace platform {

namespace {

// The root named by the key's first component and the rest of the key.
std::optional<std::pair<HKEY, std::string>> SplitRoot(const std::string& key) {
    const std::size_t slash = key.find('\\');
    const std::string root = key.substr(0, slash);
    const std::string rest = slash == std::string::npos ? std::string() : key.substr(slash + 1);
    if (root == "HKEY_LOCAL_MACHINE" || root == "HKLM")
        return std::pair{HKEY_LOCAL_MACHINE, rest};
    if (root == "HKEY_CURRENT_USER" || root == "HKCU")
        return std::pair{HKEY_CURRENT_USER, rest};
    return std::nullopt;
}

} // namespace

std::optional<std::string> HomeFolder() {
    return std::nullopt;
}

std::optional<std::string> DataHomeFolder() {
    return std::nullopt;
}

std::optional<std::string> RegistryString(const std::string& key, const std::string& valueName) {
    const auto root = SplitRoot(key);
    if (!root)
        return std::nullopt;
    const std::wstring subKey = win32::Widen(root->second);
    const std::wstring value = win32::Widen(valueName);
    // REG_SZ admits REG_EXPAND_SZ too, expanded; asking for the latter by name without
    // RRF_NOEXPAND is refused as an invalid parameter.
    constexpr DWORD flags = RRF_RT_REG_SZ;
    // The value may grow between the two calls: ask again while it does.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD bytes = 0;
        if (::RegGetValueW(root->first, subKey.c_str(), value.c_str(), flags, nullptr, nullptr,
                           &bytes) != ERROR_SUCCESS)
            return std::nullopt;
        std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1, L'\0');
        bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        const LSTATUS status = ::RegGetValueW(root->first, subKey.c_str(), value.c_str(), flags,
                                              nullptr, buffer.data(), &bytes);
        if (status == ERROR_MORE_DATA)
            continue;
        if (status != ERROR_SUCCESS)
            return std::nullopt;
        const std::wstring_view text(buffer.data());
        if (text.empty())
            return std::nullopt;
        return win32::Narrow(text);
    }
    return std::nullopt;
}

std::optional<std::string> CanonicalPath(const std::string& path) {
    if (path.find('\0') != std::string::npos)
        return std::nullopt;
    // Backup semantics open folders as well as files; no access is asked for, only the name.
    const HANDLE handle = ::CreateFileW(
        win32::Widen(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::vector<wchar_t> buffer(MAX_PATH);
    DWORD n = ::GetFinalPathNameByHandleW(handle, buffer.data(), static_cast<DWORD>(buffer.size()),
                                          FILE_NAME_NORMALIZED);
    if (n >= buffer.size()) {
        buffer.resize(n + 1);
        n = ::GetFinalPathNameByHandleW(handle, buffer.data(), static_cast<DWORD>(buffer.size()),
                                        FILE_NAME_NORMALIZED);
    }
    ::CloseHandle(handle);
    if (n == 0 || n >= buffer.size())
        return std::nullopt;
    // Letter case does not tell two folders apart here; the file system's rule says which.
    std::wstring final(buffer.data(), n);
    win32::UppercaseUnits(final);
    return win32::Narrow(final);
}

} // namespace platform

#endif
