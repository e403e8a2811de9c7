#pragma once
// File operations with Windows semantics. Every path is a Windows-style game path as the user
// and the settings file see it ("C:\UnrealTournament\Cache\K1.uxx"); on POSIX it is resolved
// through the Wine drive mapping (see PathResolver.h). Text inside the program is UTF-8.
//
// Read-only rule: a file without its owner write bit is read-only, as Windows would report it:
// it cannot be deleted, replaced or opened for writing, and a folder without it accepts no new
// files. The rule is applied by this layer itself, so it holds when the program runs as root.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#ifdef _WIN32
// <windows.h> turns these names into macros for its A/W variants. The platform functions keep
// their own names in every translation unit, whatever was included before this header.
#undef FindFirstFile
#undef DeleteFile
#endif

namespace platform {

// Directory search: the last component is a pattern ('*' and '?', case-insensitive); only regular
// files match, never folders. Returns the on-disk name of the first match.
std::optional<std::string> FindFirstFile(const std::string& pattern);

// True when the path names an existing regular file or folder (no pattern matching).
bool PathExists(const std::string& path);
bool IsDirectory(const std::string& path);
bool IsReadOnly(const std::string& path);

// Opens the file for writing, creating it or emptying an existing one, and closes it at once.
bool CreateOrTruncateFile(const std::string& path);

// Deletes a regular file. Fails for read-only files, folders and files in read-only folders.
bool DeleteFile(const std::string& path);

// Copies source over destination. The bytes go to a temporary file beside the destination, are
// flushed to disk, and only then replace the destination in one step. On failure the destination
// is exactly as it was and no temporary file is left.
bool CopyFileReplace(const std::string& source, const std::string& destination);

// Whole-file read; nullopt when the file cannot be opened or read (or is a folder).
std::optional<std::string> ReadFileBytes(const std::string& path);

// Two paths name the same file exactly when their identities are equal (links, mounts and
// letter case included).
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t file = 0;
    bool operator==(const FileIdentity&) const = default;
};

// Whole-file read that also pins the file: `location` names the file that was read, so later
// calls given it reach that file even when another spelling of its name appears beside it.
struct PinnedFile {
    std::string location;
    FileIdentity identity;
};
std::optional<std::string> ReadFileBytes(const std::string& path, PinnedFile& pinned);
// The same read in pieces of about a megabyte, each handed to `piece` in order, so that a large
// file is never held whole. False when the file cannot be opened or read to its end.
bool ReadFilePieces(const std::string& path, PinnedFile& pinned,
                    const std::function<void(std::string_view)>& piece);

// Opens for writing (creating or emptying) and writes the bytes. Not atomic.
bool WriteFileBytes(const std::string& path, std::string_view bytes);

// Replaces (or creates) the file with these bytes atomically: temporary file in the same folder,
// flushed, then renamed over the target. An existing file keeps its on-disk spelling; a symbolic
// link stays, and the file it names is the one replaced. On failure the old file is whole and no
// temporary file is left.
bool ReplaceFileAtomic(const std::string& path, std::string_view bytes);

// A regular file held open for reading (links followed), so that it can be read again after its
// name has gone to another file: what a program that still had it open wrote into it meanwhile
// shows there and nowhere else. Windows: the handle shares reading, writing and deletion.
class HeldFile {
public:
    HeldFile();
    explicit HeldFile(const std::string& path); // IsOpen() tells whether it could be opened
    ~HeldFile();
    HeldFile(HeldFile&&) noexcept;
    HeldFile& operator=(HeldFile&&) noexcept;

    bool IsOpen() const;
    // The whole file as it is now, from its first byte; nullopt when it cannot be read.
    std::optional<std::string> Read() const;
    void Close();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// How the system itself writes the path, for messages: native separators, the folders as they
// are on disk (links between them resolved) and the file's own name as it is on disk. A path
// that leads nowhere comes back as close to that as can be told.
std::string ShownPath(const std::string& path);

// Bytes free for this user on the drive that holds the path (a folder); nullopt when unknown.
std::optional<std::uint64_t> FreeSpace(const std::string& path);

// Names of the sub-folders of a folder, sorted case-insensitively; nullopt when the folder cannot
// be read. Windows leaves out hidden and system folders; POSIX lists every folder.
std::optional<std::vector<std::string>> ListSubfolders(const std::string& folder);

// Names of the regular files of a folder (what the directory search can match), sorted like
// ListSubfolders; nullopt when the folder cannot be read.
std::optional<std::vector<std::string>> ListFiles(const std::string& folder);

// A folder resolved once for a whole run: the operations below reach names inside it without
// resolving the path again.
struct Folder {
    std::string location; // POSIX: the native path; Windows: the full path
    FileIdentity identity;
    // POSIX: the folder held open, so that the operations below reach the folder that was
    // opened even when its path leads elsewhere meanwhile (a folder renamed, a link put in its
    // place). Windows checks the folder's identity again instead.
    std::shared_ptr<const void> handle;
};
std::optional<Folder> OpenFolder(const std::string& path);
// Makes the folder `name` inside `folder` (nothing else on the way); true when it is there
// afterwards as a folder, made now or before.
bool CreateSubfolder(const Folder& folder, const std::string& name);

struct FolderEntry {
    std::string name;
    bool regularFile = false; // what the directory search can match (links followed)
};
// Every entry of the folder. nullopt when the folder cannot be read to its end: a failed read is
// never taken for the end of the list.
std::optional<std::vector<FolderEntry>> ReadFolder(const Folder& folder);

// A regular file opened for reading, with what it was when opened. Opening never waits (a FIFO
// or a device is refused at once) and never reaches anything but a regular file; a read never
// goes past the size the file had when opened.
class InputFile {
public:
    // `name` inside `folder`. A link is followed unless `followLinks` is false, when it is
    // refused like any other file that is not a regular one. *notAFile (when given) tells such
    // a refusal (a folder, a link, a FIFO...) from a file that is missing or cannot be read.
    static std::optional<InputFile> Open(const Folder& folder, const std::string& name,
                                         bool followLinks = true, bool* notAFile = nullptr);
    InputFile(InputFile&&) noexcept;
    InputFile& operator=(InputFile&&) noexcept;
    ~InputFile();

    std::uint64_t Size() const;
    std::int64_t ModifiedTime() const; // seconds since 1970-01-01 UTC
    FileIdentity Identity() const;
    // Up to `length` bytes from `offset`; fewer only at the end of the file. nullopt when the
    // read fails.
    std::optional<std::string> ReadAt(std::uint64_t offset, std::size_t length) const;
    // True while the file still has the size and modification time it had when opened.
    bool Unchanged() const;

    struct Impl;

private:
    friend class MoveBatch; // moves the file it has opened
    explicit InputFile(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

enum class Sameness { Same, Different, Unreadable };
// Whether two open files hold the same bytes. The bytes are compared only when the sizes agree,
// each file read once, in pieces. Unreadable when a read fails or either file changed meanwhile.
Sameness CompareFiles(const InputFile& a, const InputFile& b);

enum class MoveResult {
    Moved,            // the destination holds the file; the source is gone or will go at Commit
    CopiedSourceKept, // copied; the source stays (it or its folder is read-only)
    Duplicate,        // the destination already held the same bytes; the source was deleted
    DuplicateKept,    // the same, but the source stays (it or its folder is read-only)
    DestinationTaken, // another file (other bytes, a folder, a link...) has the name: nothing done
    SameFile,         // source and destination are one file: nothing was done
    SourceChanged,    // the source changed while it was copied: nothing was done
    Failed,           // nothing was done
};

// Moves cache files into place, with the durability of the whole batch paid once:
//  - an existing destination is never replaced: when it holds the same bytes the source is
//    deleted (Duplicate), otherwise nothing is done (DestinationTaken). A destination that
//    appears while a move runs is caught by the no-replace step that names the file;
//  - same file system: the source is renamed to the destination in one step, no data copied;
//  - across file systems (or a source that must stay): the bytes go from the opened source into a
//    file beside the destination that takes its name in one step; the source is deleted at the
//    next Commit, after the destination is on disk, and only when it is still the very file that
//    was copied, unchanged (identity, size, modification time);
//  - a read-only source (or one in a read-only folder) is copied and kept.
// No source goes before its destination is on disk; after Finish every move is on disk.
class MoveBatch {
public:
    MoveBatch();
    ~MoveBatch();
    MoveBatch(const MoveBatch&) = delete;
    MoveBatch& operator=(const MoveBatch&) = delete;

    MoveResult Move(const Folder& from, const std::string& fromName, const Folder& to,
                    const std::string& toName);
    // The last Move that Failed was refused by the system's rules of access: the destination
    // folder may not be written by this user (or is read-only).
    bool Denied() const;
    // Flushes the destinations of the copies so far, then deletes their unchanged sources.
    void Commit();
    // Commit, then makes every rename and deletion of the batch durable. False when a flush
    // failed.
    bool Finish();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Tests only: called in a copy between its last byte and the check that its source is unchanged,
// the moment where a source that changes under the copy must be caught. Empty: nothing is called.
void SetAfterCopyForTesting(std::function<void()> hook);

// The machine's drives as "C:", "Z:" ... (on POSIX the drives of the Wine prefix, Z: at least).
std::vector<std::string> LogicalDrives();

// What kind of drive a drive ("C:") is, for its picture; POSIX knows no kinds (Unknown).
enum class DriveType { Fixed, Removable, Network, Optical, Ram, Unknown };
DriveType TypeOfDrive(const std::string& drive);

// The folder of the running executable, without a trailing separator.
std::string ExecutableFolder();

} // namespace platform
