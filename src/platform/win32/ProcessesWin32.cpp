// Running programs on Windows: a snapshot of the processes and the image file of each.
#ifdef _WIN32

#include "platform/win32/Wide.h"

#include "platform/Processes.h"

#include <tlhelp32.h>

namespace platform {

namespace {

std::optional<FileIdentity> IdentityOfFile(const std::wstring& path) {
    const HANDLE h = ::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return std::nullopt;
    BY_HANDLE_FILE_INFORMATION data{};
    const bool ok = ::GetFileInformationByHandle(h, &data) &&
                    !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    ::CloseHandle(h);
    if (!ok)
        return std::nullopt;
    // As FileSystemWin32.cpp makes identities: the volume, then the file's index on it.
    return FileIdentity{data.dwVolumeSerialNumber,
                        (static_cast<std::uint64_t>(data.nFileIndexHigh) << 32) |
                            data.nFileIndexLow};
}

std::wstring ImageOf(DWORD pid) {
    const HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process)
        return {};
    std::wstring image(32768, L'\0');
    DWORD size = static_cast<DWORD>(image.size());
    const bool ok = ::QueryFullProcessImageNameW(process, 0, image.data(), &size);
    ::CloseHandle(process);
    image.resize(ok ? size : 0);
    return image;
}

} // namespace

std::optional<FileIdentity> FileIdentityOf(const std::string& path) {
    const std::wstring wide = win32::Widen(path);
    if (wide.empty())
        return std::nullopt;
    return IdentityOfFile(wide);
}

std::vector<FileIdentity> RunningPrograms() {
    std::vector<FileIdentity> programs;
    const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return programs;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    const DWORD self = ::GetCurrentProcessId();
    for (bool more = ::Process32FirstW(snapshot, &entry); more;
         more = ::Process32NextW(snapshot, &entry)) {
        if (entry.th32ProcessID == self || entry.th32ProcessID == 0)
            continue;
        const std::wstring image = ImageOf(entry.th32ProcessID);
        if (image.empty())
            continue;
        if (const auto identity = IdentityOfFile(image))
            programs.push_back(*identity);
    }
    ::CloseHandle(snapshot);
    return programs;
}

} // namespace platform

#endif
