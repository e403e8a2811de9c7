#ifdef _WIN32

#include "platform/win32/Wide.h"

#include "platform/UserFolders.h"

#include <cstdlib>
#include <shlobj.h>

namespace platform {

using win32::Narrow;
using win32::Widen;

std::string UserConfigFolder() {
    PWSTR roaming = nullptr;
    std::string folder;
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &roaming)) &&
        roaming && *roaming)
        folder = Narrow(roaming) + "\\Lodestow";
    ::CoTaskMemFree(roaming);
    if (!folder.empty())
        return folder;
    const wchar_t* appData = ::_wgetenv(L"APPDATA");
    return appData && *appData ? Narrow(appData) + "\\Lodestow" : std::string();
}

bool FolderAcceptsNewFiles(const std::string& folder) {
    const std::wstring wide = Widen(folder);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    // Access rights are only known by trying: a file of our own that vanishes when closed.
    std::wstring probe = wide;
    if (!probe.empty() && probe.back() != L'\\' && probe.back() != L'/')
        probe += L'\\';
    probe += L"Lodestow-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
             std::to_wstring(::GetTickCount64()) + L".tmp";
    const HANDLE h = ::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    ::CloseHandle(h);
    return true;
}

bool CreateFolders(const std::string& folder) {
    const std::wstring wide = Widen(folder);
    if (wide.empty())
        return false;
    for (std::size_t end = 1; end <= wide.size(); ++end) {
        if (end != wide.size() && wide[end] != L'\\' && wide[end] != L'/')
            continue;
        const std::wstring part = wide.substr(0, end);
        if (part.size() == 2 && part[1] == L':')
            continue; // "C:" is a drive, not a folder to make
        ::CreateDirectoryW(part.c_str(), nullptr);
    }
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace platform

#endif // _WIN32
