// Running programs on Windows: a snapshot of the processes and the image file of each.
#ifdef _WIN32

#include "platform/win32/Wide.h"

#include "platform/Processes.h"

#include <shellapi.h>
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

namespace {

// One argument as the C runtime splits a command line: quoted when it holds a blank or a quote,
// backslashes doubled before a quote.
std::wstring Quoted(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos)
        return argument;
    std::wstring quoted = L"\"";
    std::size_t slashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++slashes;
            continue;
        }
        quoted.append(c == L'"' ? 2 * slashes + 1 : slashes, L'\\');
        slashes = 0;
        quoted += c;
    }
    quoted.append(2 * slashes, L'\\');
    return quoted + L"\"";
}

} // namespace

bool StartElevated(const std::vector<std::string>& arguments) {
    std::wstring self(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, self.data(), DWORD(self.size()));
        if (n == 0)
            return false;
        if (n < self.size()) {
            self.resize(n);
            break;
        }
        self.resize(self.size() * 2);
    }
    std::wstring parameters;
    for (const std::string& argument : arguments)
        parameters += (parameters.empty() ? L"" : L" ") + Quoted(win32::Widen(argument));
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOASYNC;
    info.lpVerb = L"runas";
    info.lpFile = self.c_str();
    info.lpParameters = parameters.c_str();
    info.nShow = SW_SHOWNORMAL;
    return ::ShellExecuteExW(&info) != FALSE;
}

std::vector<std::string> ProgramArguments(int, char**) {
    std::vector<std::string> arguments;
    int count = 0;
    wchar_t** words = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!words)
        return arguments;
    for (int i = 1; i < count; ++i)
        arguments.push_back(win32::Narrow(words[i]));
    ::LocalFree(words);
    return arguments;
}

} // namespace platform

#endif
