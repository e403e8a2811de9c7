#include "GameFolderFixture.h"

#include "catalogue/CacheIndex.h"
#include "startup/DoEvents.h"
#include "startup/Globals.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace lodestow_test {

std::vector<std::string> FakeView::Labels() const {
    std::vector<std::string> labels;
    for (const std::string& entry : log) {
        if (entry.starts_with("label:")) {
            labels.push_back(entry.substr(6));
        }
    }
    return labels;
}

std::string FakeView::Number(float v) {
    std::ostringstream out;
    out << v;
    return out.str();
}

void GameFolderTest::SetUp() {
    char pattern[] = "/tmp/lodestow-transfer-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    prefix_ = root_ + "/prefix";
    game_ = prefix_ + "/drive_c/Game";
    for (const char* folder : {"Cache", "Maps", "Textures", "Sounds", "Music", "System"}) {
        fs::create_directories(game_ + "/" + folder);
    }
    fs::create_directories(prefix_ + "/dosdevices");
    fs::create_directory_symlink("../drive_c", prefix_ + "/dosdevices/c:");
    fs::create_directories(root_ + "/prog");

    if (const char* old = std::getenv("WINEPREFIX")) {
        oldPrefix_ = old;
    }
    setenv("WINEPREFIX", prefix_.c_str(), 1);
    oldProgramFolder_ = UnrealMOD::ProgramFolder();
    UnrealMOD::ProgramFolder() = root_ + "/prog";
    UnrealMOD::GameFolder = "C:\\Game\\";
    UnrealMOD::CacheIndexName = "cache.ini";
}

void GameFolderTest::TearDown() {
    UnrealMOD::SetDoEventsHandler(nullptr);
    UnrealMOD::ProgramFolder() = oldProgramFolder_;
    if (oldPrefix_) {
        setenv("WINEPREFIX", oldPrefix_->c_str(), 1);
    } else {
        unsetenv("WINEPREFIX");
    }
    std::error_code ignored;
    // Give back write bits first so that nothing stays behind.
    for (auto it = fs::recursive_directory_iterator(root_, ignored);
         it != fs::recursive_directory_iterator(); it.increment(ignored)) {
        chmod(it->path().c_str(), 0755);
    }
    fs::remove_all(root_, ignored);
}

void GameFolderTest::Write(const std::string& relative, const std::string& bytes) const {
    std::ofstream out(Native(relative), std::ios::binary | std::ios::trunc);
    out << bytes;
    ASSERT_TRUE(out.good()) << relative;
}

std::optional<std::string> GameFolderTest::Read(const std::string& relative) const {
    std::ifstream in(Native(relative), std::ios::binary);
    if (!in || fs::is_directory(Native(relative))) {
        return std::nullopt;
    }
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

bool GameFolderTest::Exists(const std::string& relative) const {
    return fs::exists(fs::symlink_status(Native(relative)));
}

std::vector<std::string> GameFolderTest::Names(const std::string& relativeFolder) const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(Native(relativeFolder))) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

void GameFolderTest::SetMode(const std::string& relative, unsigned mode) const {
    ASSERT_EQ(chmod(Native(relative).c_str(), mode), 0) << relative;
}

std::map<std::string, std::string> GameFolderTest::Snapshot() const {
    std::map<std::string, std::string> all;
    for (const auto& entry : fs::recursive_directory_iterator(root_)) {
        const std::string path = entry.path().string();
        if (entry.path().filename() == "cache.ini" || entry.path().filename() == "Cache.ini") {
            continue;
        }
        if (entry.is_symlink()) {
            all[path] = "symlink";
        } else if (entry.is_directory()) {
            all[path] = "folder";
        } else {
            std::ifstream in(path, std::ios::binary);
            std::ostringstream bytes;
            bytes << in.rdbuf();
            all[path] = "file:" + bytes.str();
        }
    }
    return all;
}

void GameFolderTest::Load(UnrealMOD::CatalogueColumns& catalogue) const {
    ASSERT_TRUE(UnrealMOD::ReadCacheIndex(catalogue));
}

namespace {

bool WriteProcFile(const char* path, const std::string& text) {
    const int fd = open(path, O_WRONLY);
    if (fd < 0) {
        return false;
    }
    const bool ok = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    close(fd);
    return ok;
}

bool EnterMountNamespace() {
    if (unshare(CLONE_NEWNS) != 0) {
        const uid_t uid = getuid();
        const gid_t gid = getgid();
        if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) {
            return false;
        }
        WriteProcFile("/proc/self/setgroups", "deny");
        if (!WriteProcFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
            !WriteProcFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1")) {
            return false;
        }
    }
    return mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

constexpr int NoNamespace = 77;

} // namespace

void InOwnMountNamespace(const std::function<void()>& body) {
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t child = fork();
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
        _exit(code);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the child died";
    if (WEXITSTATUS(status) == NoNamespace) {
        GTEST_SKIP() << "no mount namespace here";
    }
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the child reported failures (see above)";
}

void MountTmpfs(const std::string& native, std::size_t bytes) {
    const std::string options = "size=" + std::to_string(bytes);
    ASSERT_EQ(mount("none", native.c_str(), "tmpfs", 0, options.c_str()), 0) << native;
}

} // namespace lodestow_test
