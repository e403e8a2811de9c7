#pragma once
// Test scaffolding: throw-away folders, a Wine-style prefix, files and small WAV cues.

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <sys/stat.h>

namespace testsupport {

namespace fs = std::filesystem;

class TempDir {
public:
    TempDir() {
        std::string tmpl = (fs::temp_directory_path() / "lodestow-test-XXXXXX").string();
        if (!mkdtemp(tmpl.data()))
            throw std::runtime_error("mkdtemp failed");
        path_ = tmpl;
    }
    ~TempDir() {
        std::error_code ec;
        // Give back owner write bits first so that read-only test folders can go.
        for (auto it = fs::recursive_directory_iterator(path_, ec);
             it != fs::recursive_directory_iterator(); it.increment(ec))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

inline void WriteFile(const fs::path& p, const std::string& bytes) {
    fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << bytes;
}

inline std::string ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void MakeReadOnly(const fs::path& p) {
    fs::permissions(p, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
}

// A Wine prefix whose drive C: is <root>/drive_c; WINEPREFIX points at it while the object lives.
class WinePrefix {
public:
    WinePrefix() : driveC_(dir_.path() / "drive_c") {
        fs::create_directories(driveC_);
        fs::create_directories(dir_.path() / "dosdevices");
        fs::create_directory_symlink("../drive_c", dir_.path() / "dosdevices" / "c:");
        const char* old = std::getenv("WINEPREFIX");
        hadOld_ = old != nullptr;
        if (old)
            old_ = old;
        setenv("WINEPREFIX", dir_.path().c_str(), 1);
    }
    ~WinePrefix() {
        if (hadOld_)
            setenv("WINEPREFIX", old_.c_str(), 1);
        else
            unsetenv("WINEPREFIX");
    }
    const fs::path& root() const { return dir_.path(); }
    const fs::path& driveC() const { return driveC_; }

private:
    TempDir dir_;
    fs::path driveC_;
    std::string old_;
    bool hadOld_ = false;
};

// A mono 16-bit PCM WAV of silence lasting the given seconds.
inline std::string SilentWav(double seconds, int rate = 22050) {
    const auto samples = static_cast<std::uint32_t>(seconds * rate);
    const std::uint32_t dataBytes = samples * 2;
    std::string w;
    auto u32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            w.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    };
    auto u16 = [&](std::uint16_t v) {
        w.push_back(static_cast<char>(v & 0xFF));
        w.push_back(static_cast<char>(v >> 8));
    };
    w += "RIFF";
    u32(36 + dataBytes);
    w += "WAVEfmt ";
    u32(16);
    u16(1);
    u16(1);
    u32(static_cast<std::uint32_t>(rate));
    u32(static_cast<std::uint32_t>(rate) * 2);
    u16(2);
    u16(16);
    w += "data";
    u32(dataBytes);
    w.append(dataBytes, '\0');
    return w;
}

} // namespace testsupport
