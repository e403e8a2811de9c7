#pragma once
// Test scaffolding shared by every test folder: throw-away folders, a Wine-style prefix, plain
// file access that does not go through the code under test, a private mount namespace for
// small disks, and WAV cues.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

namespace fs = std::filesystem;

// A fresh folder under the system's temporary folder, removed with all it holds (read-only
// folders included) when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

// A Wine prefix whose drive C: is <root>/drive_c (dosdevices/c: links to it); WINEPREFIX points
// at it while the object lives. On Windows, where the program takes game paths as they are, the
// drives of the newest prefix are what GamePath maps.
class WinePrefix {
public:
    WinePrefix();                              // in a temporary folder of its own
    explicit WinePrefix(const fs::path& root); // made at root, which the caller removes
    ~WinePrefix();
    WinePrefix(const WinePrefix&) = delete;
    WinePrefix& operator=(const WinePrefix&) = delete;

    const fs::path& root() const { return root_; }
    const fs::path& driveC() const { return driveC_; }
    // A drive letter of the prefix mapped onto a native folder.
    void MapDrive(char letter, const fs::path& target) const;

private:
    void Make();

    std::optional<TempDir> own_;
    fs::path root_;
    fs::path driveC_;
    std::optional<std::string> oldPrefix_;
};

// A temporary folder holding a Wine prefix at <root>/prefix, with room beside it for files
// outside every drive. Paths are native strings, the way the platform layer takes them.
class TempTree {
public:
    TempTree() : prefix_(dir_.path() / "prefix") {}
    std::string root() const { return dir_.path().string(); }
    std::string prefix() const { return prefix_.root().string(); }
    std::string driveC() const { return prefix_.driveC().string(); }

private:
    TempDir dir_;
    WinePrefix prefix_;
};

// A game path on a drive of the newest prefix ("C:\\Game\\") as the platform layer must be given
// it to reach that folder: unchanged on POSIX, where the layer resolves the drive itself; on
// Windows, with the drive replaced by the folder it stands for. Other paths stay as they are.
std::string GamePath(const std::string& path);

// A home folder of its own while the object lives: HOME points at a fresh temporary folder and
// XDG_DATA_HOME is unset, so nothing of the machine's real home is seen or touched.
class TempHome {
public:
    TempHome();
    ~TempHome();
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;
    const fs::path& path() const { return dir_.path(); }

private:
    TempDir dir_;
    std::optional<std::string> oldHome_;
    std::optional<std::string> oldDataHome_;
};

// A native path from UTF-8 text (Windows would take a narrow string in its ANSI code page).
fs::path Utf8Path(const std::string& utf8);

// Native file access, independent of the code under test. Failures throw, except for reading.
void MakeFolder(const fs::path& p);                          // with its parents
void WriteFile(const fs::path& p, const std::string& bytes); // creates the parent folders
std::optional<std::string> TryReadFile(const fs::path& p);   // nullopt: no file (or a folder)
std::string ReadFile(const fs::path& p);                     // empty when there is no file
std::vector<std::string> Names(const fs::path& folder);      // UTF-8, sorted; empty when unreadable
void SetMode(const fs::path& p, unsigned mode);
void MakeReadOnly(const fs::path& p); // takes every write bit away

// Runs body in a child process with a mount namespace of its own, where tmpfs mounts made by the
// body vanish with it. The child's test failures are reported by the child; the parent fails
// when the child did. Skips when the namespace cannot be made.
void InOwnMountNamespace(const std::function<void()>& body);
// Mounts a tmpfs of the given size (bytes) on a native folder; only inside InOwnMountNamespace.
void MountTmpfs(const std::string& native, std::size_t bytes);
// Mounts an exFAT file system of the given size through FUSE on a native folder, as players keep
// games on external drives: no atomic no-replace rename, no hard links, no unnamed files. Only
// inside InOwnMountNamespace, as root, with exfatprogs and exfat-fuse installed.
void MountExfat(const std::string& native, std::size_t bytes);

// Mono 16-bit PCM WAV files lasting the given seconds: silence, or a quiet square wave.
std::string SilentWav(double seconds, int rate = 22050);
std::string SquareWav(double seconds, int rate = 22050);

} // namespace testsupport
