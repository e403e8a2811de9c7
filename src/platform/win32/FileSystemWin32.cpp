// File operations on Windows, through the wide (UTF-16) Win32 calls. The game path is the native
// path; the read-only rule is Windows' own FILE_ATTRIBUTE_READONLY.
#ifdef _WIN32

#include "platform/win32/Wide.h"

#include <winternl.h>
// <windows.h> maps these names to their A/W variants; ours are plain functions.
#undef FindFirstFile
#undef DeleteFile

#include "platform/FileSystem.h"

#include "platform/UserFolders.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <functional>
#include <vector>

namespace platform {

namespace {

using win32::Narrow;

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

// An absolute path too long for the plain calls (MAX_PATH, less room for a file name in a
// folder) in the "\\?\" form that takes up to 32767 units. That form is passed on unparsed, so
// it is first made full the way the plain calls would have ("/" to "\", "." and ".." applied,
// doubled separators merged). Shorter paths are left exactly as they are.
std::wstring LongForm(std::wstring path) {
    constexpr std::size_t kPlainLimit = MAX_PATH - 12;
    if (path.size() < kPlainLimit || path.starts_with(L"\\\\?\\"))
        return path;
    const bool drive = path.size() >= 3 && path[1] == L':' && IsSeparator(path[2]);
    const bool unc = path.size() >= 3 && IsSeparator(path[0]) && IsSeparator(path[1]);
    if (!drive && !unc)
        return path;
    std::wstring full(path.size() + 8, L'\0');
    for (;;) {
        const DWORD n =
            ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (n == 0)
            return path;
        if (n < full.size()) {
            full.resize(n);
            break;
        }
        full.resize(n + 1);
    }
    if (full.starts_with(L"\\\\"))
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

// The longest path the system takes at all (a counted string of 16-bit units); longer text
// names no file.
constexpr std::size_t kMaxPath = 32767;

// A path for the wide calls; empty (which every caller takes as failure) when the path holds a
// NUL byte, since the system would end it there and act on a different file, or when it is
// longer than any path can be.
std::wstring Widen(std::string_view path) {
    if (path.find('\0') != std::string_view::npos || path.size() > 3 * kMaxPath)
        return {};
    std::wstring wide = win32::Widen(path);
    if (wide.size() > kMaxPath)
        return {};
    return LongForm(std::move(wide));
}

constexpr DWORD kChunk = 1u << 20;

class Handle {
public:
    explicit Handle(HANDLE h = INVALID_HANDLE_VALUE) : h_(h) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    Handle(Handle&& other) noexcept : h_(other.h_) { other.h_ = INVALID_HANDLE_VALUE; }
    Handle& operator=(Handle&& other) noexcept {
        if (this != &other) {
            Close();
            h_ = other.h_;
            other.h_ = INVALID_HANDLE_VALUE;
        }
        return *this;
    }
    ~Handle() { Close(); }
    HANDLE get() const { return h_; }
    explicit operator bool() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
    bool Close() {
        const HANDLE h = h_;
        h_ = INVALID_HANDLE_VALUE;
        return h == INVALID_HANDLE_VALUE || h == nullptr || ::CloseHandle(h) != 0;
    }

private:
    HANDLE h_;
};

class Search {
public:
    explicit Search(const std::wstring& pattern) : h_(::FindFirstFileW(pattern.c_str(), &data_)) {}
    Search(const Search&) = delete;
    Search& operator=(const Search&) = delete;
    ~Search() {
        if (h_ != INVALID_HANDLE_VALUE)
            ::FindClose(h_);
    }
    bool ok() const { return h_ != INVALID_HANDLE_VALUE; }
    const WIN32_FIND_DATAW& data() const { return data_; }
    bool Next() { return ::FindNextFileW(h_, &data_) != 0; }

private:
    WIN32_FIND_DATAW data_{};
    HANDLE h_;
};

// Everything up to and including the last separator (or the "C:" of "C:name").
std::wstring FolderPrefix(const std::wstring& path) {
    const std::size_t sep = path.find_last_of(L"\\/");
    if (sep != std::wstring::npos)
        return path.substr(0, sep + 1);
    if (path.size() >= 2 && path[1] == L':')
        return path.substr(0, 2);
    return {};
}

DWORD Attributes(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str());
}

// The "?" of the long form's "\\?\" is no wildcard.
bool HasWildcard(const std::wstring& path) {
    const std::size_t from = path.starts_with(L"\\\\?\\") ? 4 : 0;
    return path.find_first_of(L"*?", from) != std::wstring::npos;
}

// The target with the spelling of an existing file, so that replacing "Cache.ini" keeps the
// "cache.ini" that is on disk.
std::wstring OnDiskSpelling(const std::wstring& path) {
    if (HasWildcard(path))
        return path;
    Search search(path);
    if (!search.ok())
        return path;
    return FolderPrefix(path) + search.data().cFileName;
}

// The shape of a temporary's name: "." + a name + ".lodestow-" + six letters or digits (TempName
// writes hexadecimal ones). The journal sweep removes nothing else, whatever a journal says.
bool IsTemporaryName(std::wstring_view name) {
    constexpr std::wstring_view marker = L".lodestow-";
    constexpr std::size_t digits = 6;
    if (name.size() < 2 + marker.size() + digits || name.front() != L'.' ||
        name.substr(name.size() - digits - marker.size(), marker.size()) != marker)
        return false;
    return std::all_of(name.end() - digits, name.end(), [](wchar_t c) {
        return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
    });
}

// A name for a temporary file beside `target`; `attempt` varies it after a collision.
std::wstring TempName(const std::wstring& target, unsigned attempt) {
    const std::wstring prefix = FolderPrefix(target);
    // The temporary name must fit wherever its target does: 255 units on NTFS, but 255 bytes of
    // UTF-8 where the folder lives on a Unix file system (Wine). The stem is cut at 236 bytes of
    // UTF-8 (never inside a surrogate pair), which leaves room for the dot and the suffix.
    std::wstring stem = target.substr(prefix.size());
    std::size_t bytes = 0;
    std::size_t keep = 0;
    while (keep < stem.size()) {
        const wchar_t c = stem[keep];
        const bool pair = c >= 0xD800 && c <= 0xDBFF && keep + 1 < stem.size();
        const std::size_t size = pair ? 4 : c < 0x80 ? 1 : c < 0x800 ? 2 : 3;
        if (bytes + size > 236)
            break;
        bytes += size;
        keep += pair ? 2 : 1;
    }
    stem.resize(keep);
    const unsigned long long salt =
        ::GetTickCount64() ^ (static_cast<unsigned long long>(::GetCurrentProcessId()) << 20) ^
        (static_cast<unsigned long long>(attempt) * 0x9E3779B97F4A7C15ull);
    wchar_t suffix[32];
    std::swprintf(suffix, 32, L".lodestow-%06llx", salt & 0xFFFFFFull);
    return prefix + L"." + stem + suffix;
}

// An existing target must be a file that is not read-only; a missing one is fine.
bool MayReplace(const std::wstring& target) {
    const DWORD attributes = Attributes(target);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND;
    }
    return (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) == 0;
}

bool WriteAll(HANDLE h, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), kChunk));
        DWORD written = 0;
        if (!::WriteFile(h, bytes.data(), chunk, &written, nullptr) || written == 0)
            return false;
        bytes.remove_prefix(written);
    }
    return true;
}

// Reads the open file from its current position to its end through `buffer`, handing each piece
// to `piece` in order; false when a read fails or `piece` answers false.
bool ReadPieces(HANDLE h, std::string& buffer, const std::function<bool(std::string_view)>& piece) {
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(h, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr))
            return false;
        if (read == 0)
            return true;
        if (!piece(std::string_view(buffer.data(), read)))
            return false;
    }
}

// Appends the rest of the open file to `bytes`, read `chunk` bytes at a time.
bool AppendAll(HANDLE h, std::size_t chunk, std::string& bytes) {
    std::string buffer(chunk, '\0');
    return ReadPieces(h, buffer, [&bytes](std::string_view piece) {
        bytes.append(piece);
        return true;
    });
}

Handle OpenForWriting(const std::string& path) {
    const std::wstring file = Widen(path);
    if (file.empty())
        return Handle();
    // The read-only attribute is checked here and not left to the system: a program run with
    // backup rights, or Wine run by root, would be let through.
    const DWORD attributes = Attributes(file);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        return Handle();
    // OPEN_ALWAYS and then cutting the file: CREATE_ALWAYS would refuse an existing hidden file.
    Handle h(::CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
    if (h && !::SetEndOfFile(h.get()))
        return Handle();
    return h;
}

struct Info {
    FileIdentity identity;
    unsigned long long size = 0;
    FILETIME written{};
    DWORD attributes = 0;
};

std::optional<Info> InfoOf(HANDLE h) {
    BY_HANDLE_FILE_INFORMATION data{};
    if (!::GetFileInformationByHandle(h, &data))
        return std::nullopt;
    Info info;
    info.identity = {data.dwVolumeSerialNumber,
                     (static_cast<std::uint64_t>(data.nFileIndexHigh) << 32) | data.nFileIndexLow};
    info.size = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    info.written = data.ftLastWriteTime;
    info.attributes = data.dwFileAttributes;
    return info;
}

std::optional<Info> InfoOf(const std::wstring& path) {
    Handle h(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!h)
        return std::nullopt;
    return InfoOf(h.get());
}

// The file's number on its volume alone. Its volume's serial number, which GetFileInformation-
// ByHandle also gives, costs a query of the volume on each call (under Wine a round trip to its
// mount manager, most of what a move cost there); a folder's volume is known from when it was
// opened, and a file inside it, not followed through a link, is on that volume.
std::optional<std::uint64_t> FileNumberOf(HANDLE h) {
    IO_STATUS_BLOCK status{};
    FILE_INTERNAL_INFORMATION internal{};
    if (!NT_SUCCESS(::NtQueryInformationFile(h, &status, &internal, sizeof internal,
                                             FileInternalInformation)))
        return std::nullopt;
    return static_cast<std::uint64_t>(internal.IndexNumber.QuadPart);
}

std::optional<std::uint64_t> FileNumberOf(const std::wstring& path) {
    Handle h(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return h ? FileNumberOf(h.get()) : std::nullopt;
}

// InfoOf(h) for a file on a volume already known (see FileNumberOf).
std::optional<Info> InfoOn(HANDLE h, std::uint64_t volume) {
    FILE_BASIC_INFO basic{};
    FILE_STANDARD_INFO standard{};
    const auto number = FileNumberOf(h);
    if (!number || !::GetFileInformationByHandleEx(h, FileBasicInfo, &basic, sizeof basic) ||
        !::GetFileInformationByHandleEx(h, FileStandardInfo, &standard, sizeof standard))
        return std::nullopt;
    Info info;
    info.identity = {volume, *number};
    info.size = static_cast<unsigned long long>(standard.EndOfFile.QuadPart);
    info.written.dwLowDateTime = basic.LastWriteTime.LowPart;
    info.written.dwHighDateTime = static_cast<DWORD>(basic.LastWriteTime.HighPart);
    info.attributes = basic.FileAttributes;
    return info;
}

bool Unchanged(const Info& a, const Info& b) {
    return a.identity == b.identity && a.size == b.size &&
           ::CompareFileTime(&a.written, &b.written) == 0;
}

// Marks the very file behind the handle (opened with DELETE access) for deletion when it closes:
// no other file that took its name meanwhile can be hit.
bool DeleteOnClose(HANDLE h) {
    // (Its one member is named after a macro of <windows.h>.)
    FILE_DISPOSITION_INFO disposition{TRUE};
    return ::SetFileInformationByHandle(h, FileDispositionInfo, &disposition, sizeof disposition) !=
           0;
}

// Deletes the file at `path` only while `still` holds for what is there (a regular file, never a
// link or folder), checked and deleted through one handle.
bool DeleteIfStill(const std::wstring& path, const std::function<bool(const Info&)>& still) {
    Handle h(::CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!h)
        return false;
    const auto info = InfoOf(h.get());
    constexpr DWORD notPlain =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_READONLY;
    if (!info || (info->attributes & notPlain) || !still(*info))
        return false;
    return DeleteOnClose(h.get()) && h.Close();
}

std::wstring LocalStateFolder() {
    // The variable first: it is what the user's session (and a test) says.
    std::wstring local(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetEnvironmentVariableW(L"LOCALAPPDATA", local.data(),
                                                  static_cast<DWORD>(local.size()));
        if (n == 0)
            return {};
        if (n < local.size()) {
            local.resize(n);
            break;
        }
        local.resize(n);
    }
    if (local.empty())
        return {};
    if (!IsSeparator(local.back()))
        local += L'\\';
    return local + L"Lodestow\\temporaries";
}

// One journal per running program, held open without sharing writes or deletion while it runs:
// "volume file-index path" per temporary, flushed after the file is made and before it holds a
// byte (a file gets its name as it is made on Windows). A journal that can be opened alone belongs
// to a program that ended; the files it lists that still are what it recorded are its leftovers.
class TempJournal {
public:
    static TempJournal& Get() {
        static TempJournal journal;
        return journal;
    }
    bool Record(const std::wstring& path, HANDLE file) {
        const auto info = InfoOf(file);
        if (!h_ || !info || path.find_first_of(L"\r\n") != std::wstring::npos)
            return false;
        const std::string line = std::to_string(info->identity.device) + " " +
                                 std::to_string(info->identity.file) + " " + Narrow(path) + "\n";
        DWORD written = 0;
        return ::WriteFile(h_.get(), line.data(), static_cast<DWORD>(line.size()), &written,
                           nullptr) &&
               written == line.size() && ::FlushFileBuffers(h_.get());
    }
    // Removes what the journals of ended programs list and still find as they recorded it.
    static void SweepEnded() {
        const std::wstring folder = LocalStateFolder();
        if (folder.empty())
            return;
        std::vector<std::wstring> journals;
        {
            Search search(folder + L"\\*.journal");
            if (!search.ok())
                return;
            do {
                if (!(search.data().dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                    journals.push_back(folder + L"\\" + search.data().cFileName);
            } while (search.Next());
        }
        for (const std::wstring& journal : journals)
            SweepJournal(journal);
    }

private:
    TempJournal() {
        const std::wstring folder = LocalStateFolder();
        if (folder.empty() || !CreateFolders(Narrow(folder)))
            return;
        // The process number can come again; its start time with it cannot.
        FILETIME created{}, unused{};
        ::GetProcessTimes(::GetCurrentProcess(), &created, &unused, &unused, &unused);
        wchar_t name[64];
        std::swprintf(name, 64, L"\\%lu-%08lx%08lx.journal", ::GetCurrentProcessId(),
                      created.dwHighDateTime, created.dwLowDateTime);
        path_ = folder + name;
        h_ = Handle(::CreateFileW(path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    }
    ~TempJournal() {
        if (h_ && h_.Close())
            ::DeleteFileW(path_.c_str());
    }

    static void SweepJournal(const std::wstring& journal) {
        // No sharing at all: fails while the program that writes it still holds it.
        Handle h(::CreateFileW(journal.c_str(), GENERIC_READ | DELETE, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!h)
            return;
        std::string text;
        if (!AppendAll(h.get(), 1 << 16, text))
            return;
        for (std::size_t start = 0; start < text.size();) {
            const std::size_t end = text.find('\n', start);
            if (end == std::string::npos)
                break; // a line cut short by the kill: its file never held a byte
            RemoveIfStill(std::string_view(text).substr(start, end - start));
            start = end + 1;
        }
        DeleteOnClose(h.get());
    }

    static void RemoveIfStill(std::string_view line) {
        const std::size_t a = line.find(' ');
        const std::size_t b = a == std::string_view::npos ? a : line.find(' ', a + 1);
        if (b == std::string_view::npos)
            return;
        const std::string device(line.substr(0, a)), file(line.substr(a + 1, b - a - 1));
        const std::wstring path = Widen(line.substr(b + 1));
        if (path.empty() || !IsTemporaryName(path.substr(FolderPrefix(path).size())))
            return;
        DeleteIfStill(path, [&](const Info& info) {
            return std::to_string(info.identity.device) == device &&
                   std::to_string(info.identity.file) == file;
        });
    }

    Handle h_;
    std::wstring path_;
};

// A new, empty temporary file beside `target`, open for writing and for its rename or deletion,
// recorded in the journal before it holds a byte. `temp` receives its name.
Handle CreateTemp(const std::wstring& target, std::wstring& temp) {
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        temp = TempName(target, attempt);
        Handle h(::CreateFileW(temp.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr,
                               CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (h) {
            TempJournal::Get().Record(temp, h.get());
            return h;
        }
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
            break;
    }
    return Handle();
}

// Gives the file behind the handle the name `target` in one step, replacing an existing file
// only when `replace` says so.
bool RenameTo(HANDLE h, const std::wstring& target, bool replace) {
    const std::size_t bytes = target.size() * sizeof(wchar_t);
    std::vector<std::uint64_t> buffer((sizeof(FILE_RENAME_INFO) + bytes) / 8 + 1, 0);
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->ReplaceIfExists = replace ? TRUE : FALSE;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(bytes);
    std::memcpy(info->FileName, target.data(), bytes);
    return ::SetFileInformationByHandle(h, FileRenameInfo, info,
                                        static_cast<DWORD>(buffer.size() * 8)) != 0;
}

std::function<void()>& AfterCopyHook() {
    static std::function<void()> hook;
    return hook;
}

enum class Copied { Done, Failed, SourceChanged, NameTaken };

// Copies the open source (`opened` is what it was when opened, `source` its path) into a new
// temporary beside `target`, then checks that the source is still that very file, unchanged,
// through the handle and by its path: a file rewritten or replaced while it was read gives a
// torn or foreign copy, which must not take the name. Only then does the copy take the name
// `target` in one step. On any failure the temporary goes and `target` is untouched. The copy
// stays open in `out` (flushed already when `flush` says so).
Copied CopyInto(HANDLE in, const Info& opened, const std::wstring& source,
                const std::wstring& target, bool replace, bool flush, Handle& out) {
    std::wstring temp;
    Handle h = CreateTemp(target, temp);
    if (!h)
        return Copied::Failed;
    static std::string buffer(kChunk, '\0');
    unsigned long long copied = 0;
    bool ok = ReadPieces(in, buffer, [&](std::string_view piece) {
        copied += piece.size();
        return WriteAll(h.get(), piece);
    });
    if (ok && AfterCopyHook())
        AfterCopyHook()();
    bool changed = false;
    if (ok) {
        const auto now = InfoOf(in);
        const auto there = InfoOf(source);
        changed = !now || !Unchanged(opened, *now) || copied != opened.size || !there ||
                  !Unchanged(opened, *there);
    }
    // A move keeps the modification time, as a rename on one volume would.
    ok = ok && !changed && ::SetFileTime(h.get(), nullptr, nullptr, &opened.written) &&
         (!flush || ::FlushFileBuffers(h.get())) && MayReplace(target);
    bool taken = false;
    if (ok && !RenameTo(h.get(), target, replace)) {
        const DWORD error = ::GetLastError();
        taken = !replace && (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS);
        ok = false;
    }
    if (!ok) {
        DeleteOnClose(h.get());
        return changed ? Copied::SourceChanged : taken ? Copied::NameTaken : Copied::Failed;
    }
    out = std::move(h);
    return Copied::Done;
}

// The source opened for a copy: reading is shared, writing and deletion are not, so it cannot
// change under the copy through the system's own calls.
Handle OpenSource(const std::wstring& source) {
    return Handle(::CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

// A file opened for a whole read. Only a file on a disk: a named pipe, the console or another
// device behind the name opens at once but could keep a read waiting for ever.
Handle OpenForReading(const std::wstring& path) {
    Handle h(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (h && ::GetFileType(h.get()) != FILE_TYPE_DISK)
        return Handle();
    return h;
}

} // namespace

std::optional<std::string> FindFirstFile(const std::string& pattern) {
    const std::wstring wide = Widen(pattern);
    if (wide.empty() || IsSeparator(wide.back()))
        return std::nullopt;
    Search search(wide);
    if (!search.ok())
        return std::nullopt;
    constexpr DWORD excluded =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    do {
        if ((search.data().dwFileAttributes & excluded) == 0)
            return Narrow(search.data().cFileName);
    } while (search.Next());
    return std::nullopt;
}

bool PathExists(const std::string& path) {
    const std::wstring wide = Widen(path);
    return !wide.empty() && Attributes(wide) != INVALID_FILE_ATTRIBUTES;
}

bool IsDirectory(const std::string& path) {
    const std::wstring wide = Widen(path);
    const DWORD attributes = wide.empty() ? INVALID_FILE_ATTRIBUTES : Attributes(wide);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsReadOnly(const std::string& path) {
    const std::wstring wide = Widen(path);
    const DWORD attributes = wide.empty() ? INVALID_FILE_ATTRIBUTES : Attributes(wide);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

bool CreateOrTruncateFile(const std::string& path) {
    Handle h = OpenForWriting(path);
    return h && h.Close();
}

bool DeleteFile(const std::string& path) {
    const std::wstring wide = Widen(path);
    if (wide.empty() || HasWildcard(wide))
        return false;
    const DWORD attributes = Attributes(wide);
    // Read-only files stay, whatever rights the program has.
    if (attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)))
        return false;
    return ::DeleteFileW(wide.c_str()) != 0;
}

bool CopyFileReplace(const std::string& source, const std::string& destination) {
    const std::wstring from = Widen(source);
    const std::wstring to = Widen(destination);
    if (from.empty() || to.empty() || IsSeparator(to.back()))
        return false;
    Handle in = OpenSource(from);
    const auto opened = in ? InfoOf(in.get()) : std::nullopt;
    if (!opened || (opened->attributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    const std::wstring target = OnDiskSpelling(to);
    if (!MayReplace(target))
        return false;
    Handle out;
    return CopyInto(in.get(), *opened, from, target, true, true, out) == Copied::Done;
}

std::optional<std::string> ReadFileBytes(const std::string& path) {
    const std::wstring wide = Widen(path);
    if (wide.empty())
        return std::nullopt;
    Handle h = OpenForReading(wide);
    LARGE_INTEGER size{};
    if (!h || !::GetFileSizeEx(h.get(), &size))
        return std::nullopt;
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(size.QuadPart));
    if (!AppendAll(h.get(), kChunk, bytes))
        return std::nullopt;
    return bytes;
}

bool WriteFileBytes(const std::string& path, std::string_view bytes) {
    Handle h = OpenForWriting(path);
    return h && WriteAll(h.get(), bytes) && h.Close();
}

namespace {
// The file a symbolic link names, as a full path; the path itself when it is no link.
std::wstring ThroughLink(const std::wstring& path) {
    const DWORD attributes = Attributes(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return path;
    Handle h(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!h)
        return path;
    std::wstring final(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n =
            ::GetFinalPathNameByHandleW(h.get(), final.data(), static_cast<DWORD>(final.size()), 0);
        if (n == 0)
            return path;
        if (n < final.size()) {
            final.resize(n);
            return final;
        }
        final.resize(n + 1);
    }
}
} // namespace

bool ReplaceFileAtomic(const std::string& path, std::string_view bytes) {
    const std::wstring wide = Widen(path);
    if (wide.empty() || IsSeparator(wide.back()))
        return false;
    // Renaming over a link would put a plain file in its place: the file it names is replaced.
    const std::wstring target = OnDiskSpelling(ThroughLink(wide));
    if (!MayReplace(target))
        return false;
    std::wstring temp;
    Handle h = CreateTemp(target, temp);
    if (!h)
        return false;
    if (!WriteAll(h.get(), bytes) || !::FlushFileBuffers(h.get()) || !MayReplace(target) ||
        !RenameTo(h.get(), target, true)) {
        DeleteOnClose(h.get());
        return false;
    }
    // In place and flushed: a failing close cannot undo that.
    h.Close();
    return true;
}

struct HeldFile::Impl {
    Handle h;
};

HeldFile::HeldFile() = default;
HeldFile::~HeldFile() = default;
HeldFile::HeldFile(HeldFile&&) noexcept = default;
HeldFile& HeldFile::operator=(HeldFile&&) noexcept = default;

HeldFile::HeldFile(const std::string& path) {
    const std::wstring wide = Widen(path);
    if (wide.empty())
        return;
    // Sharing deletion too: the file's name must stay free to go to its replacement.
    Handle h(::CreateFileW(wide.c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    const auto info = h ? InfoOf(h.get()) : std::nullopt;
    if (info && !(info->attributes & FILE_ATTRIBUTE_DIRECTORY))
        impl_ = std::make_unique<Impl>(Impl{std::move(h)});
}

bool HeldFile::IsOpen() const {
    return impl_ != nullptr;
}

std::optional<std::string> HeldFile::Read() const {
    LARGE_INTEGER start{};
    if (!impl_ || !::SetFilePointerEx(impl_->h.get(), start, nullptr, FILE_BEGIN))
        return std::nullopt;
    std::string bytes;
    if (!AppendAll(impl_->h.get(), kChunk, bytes))
        return std::nullopt;
    return bytes;
}

void HeldFile::Close() {
    impl_.reset();
}

std::string ShownPath(const std::string& path) {
    const std::wstring wide = Widen(path);
    if (wide.empty())
        return path;
    const std::wstring spelled = OnDiskSpelling(wide);
    // Full, with the system's separators, every folder as it is spelled on disk.
    std::wstring full(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetFullPathNameW(spelled.c_str(), static_cast<DWORD>(full.size()),
                                           full.data(), nullptr);
        if (n == 0)
            return path;
        if (n < full.size()) {
            full.resize(n);
            break;
        }
        full.resize(n + 1);
    }
    std::wstring shown(full.size() + 1, L'\0');
    for (;;) {
        const DWORD n =
            ::GetLongPathNameW(full.c_str(), shown.data(), static_cast<DWORD>(shown.size()));
        if (n == 0) {
            shown = full; // it names nothing (yet): as full as it gets
            break;
        }
        if (n < shown.size()) {
            shown.resize(n);
            break;
        }
        shown.resize(n + 1);
    }
    if (shown.starts_with(L"\\\\?\\UNC\\"))
        shown = L"\\\\" + shown.substr(8);
    else if (shown.starts_with(L"\\\\?\\"))
        shown = shown.substr(4);
    return Narrow(shown);
}

namespace {
std::optional<std::vector<std::string>> ListEntries(const std::string& folder, bool folders) {
    std::wstring pattern = Widen(folder);
    if (pattern.empty())
        return std::nullopt;
    if (!IsSeparator(pattern.back()) && !(pattern.size() == 2 && pattern[1] == L':'))
        pattern += L'\\';
    pattern += L'*';
    Search search(pattern);
    if (!search.ok()) {
        if (::GetLastError() == ERROR_FILE_NOT_FOUND)
            return std::vector<std::string>(); // an empty drive root has not even "." and ".."
        return std::nullopt;
    }
    std::vector<std::wstring> names;
    constexpr DWORD excluded = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    do {
        const WIN32_FIND_DATAW& d = search.data();
        const std::wstring_view name = d.cFileName;
        const bool isFolder = (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (isFolder == folders && !(d.dwFileAttributes & excluded) && name != L"." &&
            name != L"..")
            names.emplace_back(name);
    } while (search.Next());
    std::sort(names.begin(), names.end(), [](const std::wstring& a, const std::wstring& b) {
        const int order = ::CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE);
        if (order != CSTR_EQUAL)
            return order == CSTR_LESS_THAN;
        return a < b;
    });
    std::vector<std::string> result;
    result.reserve(names.size());
    for (const auto& name : names)
        result.push_back(Narrow(name));
    return result;
}
} // namespace

std::optional<std::vector<std::string>> ListSubfolders(const std::string& folder) {
    return ListEntries(folder, true);
}

std::optional<std::vector<std::string>> ListFiles(const std::string& folder) {
    return ListEntries(folder, false);
}

std::optional<std::string> ReadFileBytes(const std::string& path, PinnedFile& pinned) {
    std::string bytes;
    if (!ReadFilePieces(path, pinned, [&bytes](std::string_view piece) { bytes.append(piece); }))
        return std::nullopt;
    return bytes;
}

bool ReadFilePieces(const std::string& path, PinnedFile& pinned,
                    const std::function<void(std::string_view)>& piece) {
    const std::wstring wide = Widen(path);
    if (wide.empty())
        return false;
    Handle h = OpenForReading(wide);
    // The identity comes from the open handle: it is the file whose bytes are read.
    const auto info = h ? InfoOf(h.get()) : std::nullopt;
    if (!info)
        return false;
    pinned.location = Narrow(OnDiskSpelling(wide));
    pinned.identity = info->identity;
    std::string buffer(kChunk, '\0');
    return ReadPieces(h.get(), buffer, [&piece](std::string_view bytes) {
        piece(bytes);
        return true;
    });
}

namespace {

std::wstring Inside(const std::string& folder, const std::string& name) {
    std::wstring path = Widen(folder);
    if (path.empty())
        return {};
    if (!IsSeparator(path.back()))
        path += L'\\';
    const std::wstring leaf = Widen(name);
    return leaf.empty() ? std::wstring() : path + leaf;
}

} // namespace

std::optional<Folder> OpenFolder(const std::string& path) {
    const std::wstring wide = Widen(path);
    if (wide.empty())
        return std::nullopt;
    const auto info = InfoOf(wide);
    if (!info || !(info->attributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::nullopt;
    return Folder{path, info->identity, nullptr};
}

bool CreateSubfolder(const Folder& folder, const std::string& name) {
    if (name.empty() || name.find_first_of("\\/:") != std::string::npos || name == "." ||
        name == "..")
        return false;
    const std::wstring path = Inside(folder.location, name);
    if (path.empty())
        return false;
    ::CreateDirectoryW(path.c_str(), nullptr);
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

std::optional<std::uint64_t> FreeSpace(const std::string& path) {
    const std::wstring wide = Widen(path);
    ULARGE_INTEGER available{};
    if (wide.empty() || !::GetDiskFreeSpaceExW(wide.c_str(), &available, nullptr, nullptr))
        return std::nullopt;
    return static_cast<std::uint64_t>(available.QuadPart);
}

std::optional<std::vector<FolderEntry>> ReadFolder(const Folder& folder) {
    const std::wstring pattern = Inside(folder.location, "*");
    if (pattern.empty())
        return std::nullopt;
    Search search(pattern);
    if (!search.ok())
        return std::nullopt;
    std::vector<FolderEntry> entries;
    constexpr DWORD notFiles =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    do {
        const std::wstring name = search.data().cFileName;
        if (name == L"." || name == L"..")
            continue;
        entries.push_back({Narrow(name), (search.data().dwFileAttributes & notFiles) == 0});
    } while (search.Next());
    if (::GetLastError() != ERROR_NO_MORE_FILES)
        return std::nullopt; // a failed read is not the end of the list
    return entries;
}

struct InputFile::Impl {
    Handle h;
    Info opened;
};

InputFile::InputFile(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
InputFile::InputFile(InputFile&&) noexcept = default;
InputFile& InputFile::operator=(InputFile&&) noexcept = default;
InputFile::~InputFile() = default;

std::optional<InputFile> InputFile::Open(const Folder& folder, const std::string& name,
                                         bool followLinks, bool* notAFile) {
    if (notAFile)
        *notAFile = false;
    const std::wstring path = Inside(folder.location, name);
    if (path.empty())
        return std::nullopt;
    constexpr DWORD notPlain = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
    const DWORD attributes = Attributes(path);
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        ((attributes & FILE_ATTRIBUTE_DIRECTORY) ||
         (!followLinks && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)))) {
        if (notAFile)
            *notAFile = true;
        return std::nullopt;
    }
    auto impl = std::make_unique<Impl>();
    impl->h = Handle(::CreateFileW(
        path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, followLinks ? 0 : FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!impl->h)
        return std::nullopt;
    // A file that is no link (or a link not followed) is in the folder, on its volume.
    const bool linked = attributes != INVALID_FILE_ATTRIBUTES &&
                        (attributes & FILE_ATTRIBUTE_REPARSE_POINT) && followLinks;
    const auto info =
        linked ? InfoOf(impl->h.get()) : InfoOn(impl->h.get(), folder.identity.device);
    if (!info || (info->attributes & notPlain) || ::GetFileType(impl->h.get()) != FILE_TYPE_DISK) {
        if (notAFile)
            *notAFile = info.has_value();
        return std::nullopt;
    }
    impl->opened = *info;
    return InputFile(std::move(impl));
}

std::uint64_t InputFile::Size() const {
    return impl_->opened.size;
}

std::int64_t InputFile::ModifiedTime() const {
    const FILETIME& t = impl_->opened.written;
    const std::uint64_t ticks =
        (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    // 100-nanosecond ticks since 1601-01-01.
    return static_cast<std::int64_t>(ticks / 10000000ull) - 11644473600ll;
}

FileIdentity InputFile::Identity() const {
    return impl_->opened.identity;
}

std::optional<std::string> InputFile::ReadAt(std::uint64_t offset, std::size_t length) const {
    const std::uint64_t size = Size();
    if (offset >= size)
        return std::string();
    std::string bytes(static_cast<std::size_t>(std::min<std::uint64_t>(length, size - offset)),
                      '\0');
    std::size_t done = 0;
    while (done < bytes.size()) {
        OVERLAPPED at{};
        const std::uint64_t where = offset + done;
        at.Offset = static_cast<DWORD>(where);
        at.OffsetHigh = static_cast<DWORD>(where >> 32);
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, kChunk));
        DWORD got = 0;
        if (!::ReadFile(impl_->h.get(), bytes.data() + done, want, &got, &at)) {
            if (::GetLastError() == ERROR_HANDLE_EOF)
                break;
            return std::nullopt;
        }
        if (got == 0)
            break;
        done += got;
    }
    bytes.resize(done);
    return bytes;
}

bool InputFile::Unchanged() const {
    const auto now = InfoOn(impl_->h.get(), impl_->opened.identity.device);
    return now && platform::Unchanged(impl_->opened, *now);
}

namespace {

// The destination's name is taken. Only a file with the very bytes of the source lets the move
// go on, as the deletion of the source (unless the source must stay): nothing else is replaced.
MoveResult OnTakenName(const Folder& from, const std::string& fromName, const Folder& to,
                       const std::string& toName, bool keep) {
    const auto cached = InputFile::Open(from, fromName, false);
    const auto installed = InputFile::Open(to, toName, false);
    if (!cached || !installed)
        return MoveResult::DestinationTaken;
    if (cached->Identity() == installed->Identity())
        return MoveResult::SameFile;
    if (CompareFiles(*cached, *installed) != Sameness::Same)
        return MoveResult::DestinationTaken;
    if (keep)
        return MoveResult::DuplicateKept;
    // Deleted only while its name still leads to the file that was compared, unchanged.
    const bool deleted = DeleteIfStill(Inside(from.location, fromName), [&](const Info& now) {
        return now.identity == cached->Identity() && cached->Unchanged();
    });
    return deleted ? MoveResult::Duplicate : MoveResult::DuplicateKept;
}

} // namespace

namespace {
constexpr std::size_t kBatchFiles = 512;
constexpr unsigned long long kBatchBytes = 256ull << 20;
} // namespace

struct MoveBatch::Impl {
    struct Pending {
        Handle copy;         // the destination, flushed at Commit
        std::wstring source; // deleted at Commit when still `copied`; empty: the source stays
        Info copied;
    };
    std::vector<Pending> pending;
    unsigned long long pendingBytes = 0;
    bool ok = true;
    bool denied = false; // the last Move failed for want of the right to write
};

MoveBatch::MoveBatch() : impl_(std::make_unique<Impl>()) {
    // A run killed earlier may have left a temporary name behind: this run removes it.
    TempJournal::SweepEnded();
}

MoveBatch::~MoveBatch() {
    Finish();
}

bool MoveBatch::Denied() const {
    return impl_->denied;
}

MoveResult MoveBatch::Move(const Folder& from, const std::string& fromName, const Folder& to,
                           const std::string& toName) {
    impl_->denied = false;
    const auto refused = [this](DWORD error) {
        impl_->denied = error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT ||
                        error == ERROR_PRIVILEGE_NOT_HELD;
        return MoveResult::Failed;
    };
    const std::wstring source = Inside(from.location, fromName);
    const std::wstring target = Inside(to.location, toName);
    if (fromName.empty() || toName.empty() || source.empty() || target.empty())
        return MoveResult::Failed;
    // A folder renamed, or replaced by a link, since it was opened is not followed.
    for (const Folder* folder : {&from, &to}) {
        const auto now = FileNumberOf(Widen(folder->location));
        if (!now || *now != folder->identity.file)
            return MoveResult::Failed;
    }
    const DWORD attributes = Attributes(source);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return MoveResult::Failed;
    const bool keep = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    // No look at the target first: the rename and the copy below both refuse a taken name and
    // say so, and a lookup of a name that is not there costs a search of the whole folder where
    // names are matched without regard to case (Wine), which made each file cost more the more
    // files its folder held.
    if (!keep) {
        // Same volume: a rename, no bytes copied. MOVEFILE_COPY_ALLOWED is left out on purpose:
        // across volumes the copy below keeps the source until its copy is on disk. The new name
        // never replaces a file that appeared since the folder was listed.
        if (::MoveFileExW(source.c_str(), target.c_str(), 0))
            return MoveResult::Moved;
        const DWORD error = ::GetLastError();
        if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS)
            return OnTakenName(from, fromName, to, toName, keep);
        if (error != ERROR_NOT_SAME_DEVICE)
            return refused(error);
    }
    Handle in = OpenSource(source);
    const auto opened = in ? InfoOf(in.get()) : std::nullopt;
    if (!opened || (opened->attributes & FILE_ATTRIBUTE_DIRECTORY))
        return MoveResult::Failed;
    Handle copy;
    switch (CopyInto(in.get(), *opened, source, target, false, false, copy)) {
    case Copied::Done:
        break;
    case Copied::SourceChanged:
        return MoveResult::SourceChanged;
    case Copied::NameTaken:
        in.Close();
        return OnTakenName(from, fromName, to, toName, keep);
    case Copied::Failed:
        return refused(::GetLastError());
    }
    in.Close();
    impl_->pending.push_back({std::move(copy), keep ? std::wstring() : source, *opened});
    impl_->pendingBytes += opened->size;
    if (impl_->pending.size() >= kBatchFiles || impl_->pendingBytes >= kBatchBytes)
        Commit();
    return keep ? MoveResult::CopiedSourceKept : MoveResult::Moved;
}

void MoveBatch::Commit() {
    // Each copy is flushed before its source goes, and only a source that is still the very file
    // that was copied, unchanged, goes.
    for (Impl::Pending& p : impl_->pending) {
        if (!::FlushFileBuffers(p.copy.get())) {
            impl_->ok = false;
            continue;
        }
        p.copy.Close();
        if (!p.source.empty())
            DeleteIfStill(p.source, [&](const Info& now) { return Unchanged(p.copied, now); });
    }
    impl_->pending.clear();
    impl_->pendingBytes = 0;
}

bool MoveBatch::Finish() {
    Commit();
    return impl_->ok;
}

void SetAfterCopyForTesting(std::function<void()> hook) {
    AfterCopyHook() = std::move(hook);
}

std::vector<std::string> LogicalDrives() {
    const DWORD needed = ::GetLogicalDriveStringsW(0, nullptr);
    if (needed == 0)
        return {};
    std::wstring buffer(needed + 1, L'\0');
    const DWORD length = ::GetLogicalDriveStringsW(needed, buffer.data());
    if (length == 0 || length > needed)
        return {};
    std::vector<std::string> drives;
    // "C:\<nul>D:\<nul><nul>"
    for (const wchar_t* p = buffer.c_str(); *p; p += std::wcslen(p) + 1)
        if (p[0] && p[1] == L':')
            drives.push_back(Narrow(std::wstring_view(p, 2)));
    return drives;
}

DriveType TypeOfDrive(const std::string& drive) {
    if (drive.size() < 2 || drive[1] != ':')
        return DriveType::Unknown;
    const wchar_t root[] = {static_cast<wchar_t>(static_cast<unsigned char>(drive[0])), L':', L'\\',
                            L'\0'};
    switch (::GetDriveTypeW(root)) {
    case DRIVE_FIXED:
        return DriveType::Fixed;
    case DRIVE_REMOVABLE:
        return DriveType::Removable;
    case DRIVE_REMOTE:
        return DriveType::Network;
    case DRIVE_CDROM:
        return DriveType::Optical;
    case DRIVE_RAMDISK:
        return DriveType::Ram;
    default:
        return DriveType::Unknown;
    }
}

std::string ExecutableFolder() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n =
            ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0)
            return ".";
        if (n < buffer.size()) {
            buffer.resize(n);
            break;
        }
        buffer.resize(buffer.size() * 2); // truncated: try a larger buffer
    }
    // Wine started on a Unix path that no drive maps names the program by its NT name without
    // the "\??\" in front ("unix\home\x\lodestow.exe"): a relative path, which every later call
    // would take from the working folder. The "\\?\" form names the file itself.
    const bool drive = buffer.size() >= 3 && buffer[1] == L':' && IsSeparator(buffer[2]);
    const bool unc = buffer.size() >= 2 && IsSeparator(buffer[0]) && IsSeparator(buffer[1]);
    if (!drive && !unc && !buffer.empty() && !IsSeparator(buffer[0]))
        buffer = L"\\\\?\\" + buffer;
    const std::size_t sep = buffer.find_last_of(L"\\/");
    if (sep == std::wstring::npos)
        return ".";
    return Narrow(std::wstring_view(buffer).substr(0, sep));
}

} // namespace platform

#endif // _WIN32
