// File operations on Windows, through the wide (UTF-16) Win32 calls. The game path is the native
// path; the read-only rule is Windows' own FILE_ATTRIBUTE_READONLY.
#ifdef _WIN32

#include "platform/win32/Wide.h"
// <windows.h> maps these names to their A/W variants; ours are plain functions.
#undef FindFirstFile
#undef DeleteFile

#include "platform/FileSystem.h"

#include <algorithm>
#include <cwchar>

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
    std::swprintf(suffix, 32, L".lodestow-%08llx", salt & 0xFFFFFFFFull);
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

bool Flush(const std::wstring& file) {
    Handle h(::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
    return h && ::FlushFileBuffers(h.get()) && h.Close();
}

bool MoveInPlace(const std::wstring& temp, const std::wstring& target) {
    if (::MoveFileExW(temp.c_str(), target.c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    ::DeleteFileW(temp.c_str());
    return false;
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
    const DWORD sourceAttributes = Attributes(from);
    if (sourceAttributes == INVALID_FILE_ATTRIBUTES ||
        (sourceAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    const std::wstring target = OnDiskSpelling(to);
    if (!MayReplace(target))
        return false;

    std::wstring temp;
    for (unsigned attempt = 0;; ++attempt) {
        if (attempt == 100)
            return false;
        temp = TempName(target, attempt);
        // Fail-if-exists makes the temporary name ours alone.
        if (::CopyFileW(from.c_str(), temp.c_str(), TRUE))
            break;
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS)
            continue;
        ::DeleteFileW(temp.c_str()); // a partial copy, should one be left
        return false;
    }
    // The copy carries the source's attributes; a read-only one could be neither flushed nor
    // replaced later.
    const DWORD tempAttributes = Attributes(temp);
    if (tempAttributes != INVALID_FILE_ATTRIBUTES && (tempAttributes & FILE_ATTRIBUTE_READONLY))
        ::SetFileAttributesW(temp.c_str(), tempAttributes & ~FILE_ATTRIBUTE_READONLY);
    if (!Flush(temp)) {
        ::DeleteFileW(temp.c_str());
        return false;
    }
    return MoveInPlace(temp, target);
}

std::optional<std::string> ReadFileBytes(const std::string& path) {
    const std::wstring wide = Widen(path);
    if (wide.empty())
        return std::nullopt;
    Handle h(::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!h || !::GetFileSizeEx(h.get(), &size))
        return std::nullopt;
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(size.QuadPart));
    std::string buffer(kChunk, '\0');
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(h.get(), buffer.data(), kChunk, &read, nullptr))
            return std::nullopt;
        if (read == 0)
            return bytes;
        bytes.append(buffer.data(), read);
    }
}

bool WriteFileBytes(const std::string& path, std::string_view bytes) {
    Handle h = OpenForWriting(path);
    return h && WriteAll(h.get(), bytes) && h.Close();
}

bool ReplaceFileAtomic(const std::string& path, std::string_view bytes) {
    const std::wstring wide = Widen(path);
    if (wide.empty() || IsSeparator(wide.back()))
        return false;
    const std::wstring target = OnDiskSpelling(wide);
    if (!MayReplace(target))
        return false;
    std::wstring temp;
    Handle h;
    for (unsigned attempt = 0; !h; ++attempt) {
        if (attempt == 100)
            return false;
        temp = TempName(target, attempt);
        h = Handle(::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!h && ::GetLastError() != ERROR_FILE_EXISTS)
            return false;
    }
    const bool written = WriteAll(h.get(), bytes) && ::FlushFileBuffers(h.get()) && h.Close();
    if (!written) {
        h.Close();
        ::DeleteFileW(temp.c_str());
        return false;
    }
    return MoveInPlace(temp, target);
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
    auto bytes = ReadFileBytes(path);
    if (bytes) {
        const std::wstring wide = Widen(path);
        pinned.location = Narrow(OnDiskSpelling(wide));
    }
    return bytes;
}

bool ReadFilePieces(const std::string& path, PinnedFile& pinned,
                    const std::function<void(std::string_view)>& piece) {
    const std::wstring wide = Widen(path);
    if (wide.empty())
        return false;
    Handle h(::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h)
        return false;
    pinned.location = Narrow(OnDiskSpelling(wide));
    std::string buffer(kChunk, '\0');
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(h.get(), buffer.data(), kChunk, &read, nullptr))
            return false;
        if (read == 0)
            return true;
        piece(std::string_view(buffer.data(), read));
    }
}

namespace {

struct Info {
    FileIdentity identity;
    unsigned long long size = 0;
    FILETIME written{};
    DWORD attributes = 0;
};

std::optional<Info> InfoOf(const std::wstring& path) {
    Handle h(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION data{};
    if (!h || !::GetFileInformationByHandle(h.get(), &data))
        return std::nullopt;
    Info info;
    info.identity = {data.dwVolumeSerialNumber,
                     (static_cast<std::uint64_t>(data.nFileIndexHigh) << 32) | data.nFileIndexLow};
    info.size = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    info.written = data.ftLastWriteTime;
    info.attributes = data.dwFileAttributes;
    return info;
}

bool Unchanged(const Info& a, const Info& b) {
    return a.identity == b.identity && a.size == b.size &&
           ::CompareFileTime(&a.written, &b.written) == 0;
}

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
    return Folder{path, info->identity};
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

struct MoveBatch::Impl {
    struct Pending {
        std::wstring source;
        Info copied;
    };
    std::vector<Pending> pending;
    bool ok = true;
};

MoveBatch::MoveBatch() : impl_(std::make_unique<Impl>()) {}

MoveBatch::~MoveBatch() {
    Finish();
}

MoveResult MoveBatch::Move(const Folder& from, const std::string& fromName, const Folder& to,
                           const std::string& toName) {
    const std::wstring source = Inside(from.location, fromName);
    const std::wstring target = Inside(to.location, toName);
    if (source.empty() || target.empty())
        return MoveResult::Failed;
    const auto before = InfoOf(source);
    if (!before || (before->attributes & FILE_ATTRIBUTE_DIRECTORY))
        return MoveResult::Failed;
    if (const auto there = InfoOf(target)) {
        if (there->identity == before->identity)
            return MoveResult::SameFile;
        if (there->attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY))
            return MoveResult::Failed;
    }
    const bool keep = (before->attributes & FILE_ATTRIBUTE_READONLY) != 0;
    if (!keep) {
        // Same volume: a rename, no bytes copied. MOVEFILE_COPY_ALLOWED is left out on purpose:
        // across volumes the copy below keeps the source until its copy is on disk.
        if (::MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING))
            return MoveResult::Moved;
        if (::GetLastError() != ERROR_NOT_SAME_DEVICE)
            return MoveResult::Failed;
    }
    if (!CopyFileReplace(Narrow(source), Narrow(target)))
        return MoveResult::Failed;
    const auto after = InfoOf(source);
    if (!after || !Unchanged(*before, *after))
        return MoveResult::SourceChanged;
    if (keep)
        return MoveResult::CopiedSourceKept;
    impl_->pending.push_back({source, *before});
    return MoveResult::Moved;
}

void MoveBatch::Commit() {
    for (const Impl::Pending& p : impl_->pending) {
        const auto now = InfoOf(p.source);
        if (now && Unchanged(p.copied, *now))
            ::DeleteFileW(p.source.c_str());
    }
    impl_->pending.clear();
}

bool MoveBatch::Finish() {
    Commit();
    return impl_->ok;
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
    const std::size_t sep = buffer.find_last_of(L"\\/");
    if (sep == std::wstring::npos)
        return ".";
    return Narrow(std::wstring_view(buffer).substr(0, sep));
}

} // namespace platform

#endif // _WIN32
