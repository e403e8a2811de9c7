#include "TestSupport.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <linux/loop.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <stdexcept>

namespace testsupport {

TempDir::TempDir() {
    // create_directory answers false for a name that exists: the folder is ours alone.
    std::random_device seed;
    std::mt19937_64 random(seed());
    const fs::path base = fs::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[40];
        std::snprintf(name, sizeof name, "lodestow-test-%012llx",
                      static_cast<unsigned long long>(random() & 0xFFFFFFFFFFFFull));
        if (fs::create_directory(base / name)) {
            path_ = base / name;
            return;
        }
    }
    throw std::runtime_error("no temporary folder");
}

TempDir::~TempDir() {
    std::error_code ec;
    // Give folders their owner bits back first so that read-only ones can go. Links are not
    // followed: they may point anywhere on the machine.
    for (auto it = fs::recursive_directory_iterator(path_, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (fs::is_directory(it->symlink_status(ec)))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::remove_all(path_, ec);
}

WinePrefix::WinePrefix() : own_(std::in_place), root_(own_->path()) {
    Make();
}

WinePrefix::WinePrefix(const fs::path& root) : root_(root) {
    Make();
}

#ifdef _WIN32
namespace {
// Drive letter (upper case) -> native folder, for GamePath; only the newest prefix counts.
std::map<char, fs::path>& Drives() {
    static std::map<char, fs::path> drives;
    return drives;
}
} // namespace

void WinePrefix::Make() {
    driveC_ = root_ / "drive_c";
    fs::create_directories(driveC_);
    Drives().clear();
    Drives()['C'] = driveC_;
}

WinePrefix::~WinePrefix() {
    Drives().clear();
}

void WinePrefix::MapDrive(char letter, const fs::path& target) const {
    Drives()[static_cast<char>(std::toupper(static_cast<unsigned char>(letter)))] = target;
}

std::string GamePath(const std::string& path) {
    if (path.size() < 2 || path[1] != ':')
        return path;
    const auto drive =
        Drives().find(static_cast<char>(std::toupper(static_cast<unsigned char>(path[0]))));
    if (drive == Drives().end())
        return path;
    return drive->second.string() + path.substr(2);
}
#else
void WinePrefix::Make() {
    driveC_ = root_ / "drive_c";
    fs::create_directories(driveC_);
    fs::create_directories(root_ / "dosdevices");
    fs::create_directory_symlink("../drive_c", root_ / "dosdevices" / "c:");
    if (const char* old = std::getenv("WINEPREFIX"))
        oldPrefix_ = old;
    ::setenv("WINEPREFIX", root_.c_str(), 1);
}

WinePrefix::~WinePrefix() {
    if (oldPrefix_)
        ::setenv("WINEPREFIX", oldPrefix_->c_str(), 1);
    else
        ::unsetenv("WINEPREFIX");
}

void WinePrefix::MapDrive(char letter, const fs::path& target) const {
    fs::create_directory_symlink(target, root_ / "dosdevices" / (std::string(1, letter) + ":"));
}

std::string GamePath(const std::string& path) {
    return path;
}
#endif

namespace {
std::optional<std::string> Variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::optional<std::string>(value) : std::nullopt;
}
void Set(const char* name, const std::string& value) {
#ifdef _WIN32
    ::_putenv_s(name, value.c_str());
#else
    ::setenv(name, value.c_str(), 1);
#endif
}
void Unset(const char* name) {
#ifdef _WIN32
    ::_putenv_s(name, ""); // an empty value removes the variable
#else
    ::unsetenv(name);
#endif
}
void Restore(const char* name, const std::optional<std::string>& value) {
    if (value)
        Set(name, *value);
    else
        Unset(name);
}
} // namespace

TempHome::TempHome() : oldHome_(Variable("HOME")), oldDataHome_(Variable("XDG_DATA_HOME")) {
    Set("HOME", dir_.path().string());
    Unset("XDG_DATA_HOME");
}

TempHome::~TempHome() {
    Restore("HOME", oldHome_);
    Restore("XDG_DATA_HOME", oldDataHome_);
}

fs::path Utf8Path(const std::string& utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

void MakeFolder(const fs::path& p) {
    fs::create_directories(p);
}

void WriteFile(const fs::path& p, const std::string& bytes) {
    if (p.has_parent_path())
        fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out)
        throw std::runtime_error("write failed: " + p.string());
}

std::optional<std::string> TryReadFile(const fs::path& p) {
    std::error_code ec;
    if (fs::is_directory(p, ec))
        return std::nullopt;
    std::ifstream in(p, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

std::string ReadFile(const fs::path& p) {
    return TryReadFile(p).value_or("");
}

std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (auto it = fs::directory_iterator(folder, ec); !ec && it != fs::directory_iterator();
         it.increment(ec)) {
        const std::u8string name = it->path().filename().u8string();
        names.emplace_back(name.begin(), name.end());
    }
    std::sort(names.begin(), names.end());
    return names;
}

void SetMode(const fs::path& p, unsigned mode) {
    // On Windows only the owner write bit counts: it is the read-only attribute.
    std::error_code ec;
    fs::permissions(p, static_cast<fs::perms>(mode), ec);
    if (ec)
        throw std::runtime_error("chmod failed: " + p.string());
}

void MakeReadOnly(const fs::path& p) {
    fs::permissions(p, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
}

namespace {

#ifndef _WIN32
bool WriteProcFile(const char* path, const std::string& text) {
    const int fd = ::open(path, O_WRONLY);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    return ok;
}

// Root gets a mount namespace directly; anyone else through a user namespace mapping them to
// root inside it.
bool EnterMountNamespace() {
    if (::unshare(CLONE_NEWNS) != 0) {
        const uid_t uid = ::getuid();
        const gid_t gid = ::getgid();
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
            return false;
        WriteProcFile("/proc/self/setgroups", "deny");
        if (!WriteProcFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
            !WriteProcFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1"))
            return false;
    }
    return ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

constexpr int NoNamespace = 77;
#endif

std::string PcmWav(double seconds, int rate, bool audible) {
    const auto frames = static_cast<std::uint32_t>(std::lround(seconds * rate));
    const std::uint32_t dataBytes = frames * 2;
    std::string wav;
    const auto u32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            wav += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    const auto u16 = [&](std::uint16_t v) {
        wav += static_cast<char>(v & 0xFF);
        wav += static_cast<char>(v >> 8);
    };
    wav += "RIFF";
    u32(36 + dataBytes);
    wav += "WAVEfmt ";
    u32(16);
    u16(1); // PCM
    u16(1); // mono
    u32(static_cast<std::uint32_t>(rate));
    u32(static_cast<std::uint32_t>(rate) * 2);
    u16(2);
    u16(16);
    wav += "data";
    u32(dataBytes);
    for (std::uint32_t i = 0; i < frames; ++i)
        u16(!audible ? 0 : (i / 50) % 2 ? 0x0800 : 0xF800);
    return wav;
}

} // namespace

#ifdef _WIN32
void InOwnMountNamespace(const std::function<void()>&) {
    GTEST_SKIP() << "Windows has no mount namespaces: small disks are made on Linux only";
}

void MountTmpfs(const std::string&, std::size_t) {
    FAIL() << "no tmpfs on Windows";
}
void MountExfat(const std::string&, std::size_t) {
    FAIL() << "no FUSE on Windows";
}
#else
void InOwnMountNamespace(const std::function<void()>& body) {
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int code = 0;
        if (!EnterMountNamespace()) {
            code = NoNamespace;
        } else {
            try {
                body();
            } catch (...) {
                ADD_FAILURE() << "exception in the child";
            }
            code = testing::Test::HasFailure() ? 1 : 0;
        }
        std::fflush(stdout);
        std::fflush(stderr);
        ::_exit(code);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the child died";
    if (WEXITSTATUS(status) == NoNamespace)
        GTEST_SKIP() << "no mount namespace here";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the child reported failures (see above)";
}

void MountTmpfs(const std::string& native, std::size_t bytes) {
    const std::string options = "size=" + std::to_string(bytes);
    ASSERT_EQ(::mount("none", native.c_str(), "tmpfs", 0, options.c_str()), 0) << native;
}

void MountExfat(const std::string& native, std::size_t bytes) {
    ASSERT_EQ(::geteuid(), 0u) << "a loop device and a FUSE mount need root";
    char image[] = "/tmp/lodestow-exfat-XXXXXX";
    const int file = ::mkstemp(image);
    ASSERT_GE(file, 0);
    ASSERT_EQ(::ftruncate(file, static_cast<off_t>(bytes)), 0);
    ASSERT_EQ(std::system(("mkfs.exfat '" + std::string(image) + "' >/dev/null").c_str()), 0)
        << "mkfs.exfat (exfatprogs) is needed";
    // The loop device lets go of the image by itself once the file system is unmounted, which the
    // end of the mount namespace does; the image is gone from the start.
    const int control = ::open("/dev/loop-control", O_RDWR | O_CLOEXEC);
    const int number = control >= 0 ? ::ioctl(control, LOOP_CTL_GET_FREE) : -1;
    ASSERT_GE(number, 0) << "no free loop device";
    ::close(control);
    const std::string device = "/dev/loop" + std::to_string(number);
    const int loop = ::open(device.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(loop, 0) << device;
    ASSERT_EQ(::ioctl(loop, LOOP_SET_FD, file), 0) << device;
    loop_info64 info{};
    info.lo_flags = LO_FLAGS_AUTOCLEAR;
    ASSERT_EQ(::ioctl(loop, LOOP_SET_STATUS64, &info), 0);
    ::close(file);
    ::unlink(image);
    const int mounted = std::system(
        ("mount.exfat-fuse -o nonempty '" + device + "' '" + native + "' 2>/dev/null").c_str());
    ::close(loop);
    ASSERT_EQ(mounted, 0) << "mount.exfat-fuse (exfat-fuse) is needed";
}
#endif

std::string SilentWav(double seconds, int rate) {
    return PcmWav(seconds, rate, false);
}

std::string SquareWav(double seconds, int rate) {
    return PcmWav(seconds, rate, true);
}

} // namespace testsupport
