#include "platform/UserFolders.h"
#include "support/TestSupport.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
TEST(UserFoldersTest, XdgFolders) {
    GTEST_SKIP() << "POSIX only: the XDG folders; Windows asks the shell for its known folders";
}
#else

// Sets (or, with nullopt, unsets) an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        value ? ::setenv(name, value->c_str(), 1) : ::unsetenv(name);
    }
    ~ScopedEnv() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

struct ConfigCase {
    std::optional<std::string> xdg, home;
    std::string folder;
};

TEST(UserConfigFolder, FollowsTheBaseDirectoryRules) {
    const ConfigCase cases[] = {
        {"/x/cfg", "/home/p", "/x/cfg/lodestow"},
        {"/x/cfg/", "/home/p", "/x/cfg/lodestow"},
        {std::nullopt, "/home/p", "/home/p/.config/lodestow"},
        {"", "/home/p/", "/home/p/.config/lodestow"},
        {"relative/cfg", "/home/p", "/home/p/.config/lodestow"}, // not absolute: ignored
        {"/", "/home/p", "/lodestow"},
        {std::nullopt, "/", "/.config/lodestow"},
    };
    for (const auto& c : cases) {
        ScopedEnv xdg("XDG_CONFIG_HOME", c.xdg);
        ScopedEnv home("HOME", c.home);
        EXPECT_EQ(platform::UserConfigFolder(), c.folder)
            << "XDG_CONFIG_HOME=" << c.xdg.value_or("(unset)") << " HOME=" << *c.home;
    }
}

TEST(FolderAcceptsNewFiles, WritableFoldersOnlyAndCreateFoldersMakesTheParents) {
    testsupport::TempDir dir;
    const std::string root = dir.path().string();
    const std::string made = root + "/a/b/lodestow";
    EXPECT_FALSE(platform::FolderAcceptsNewFiles(made));
    EXPECT_TRUE(platform::CreateFolders(made));
    EXPECT_TRUE(platform::CreateFolders(made)) << "an existing folder is fine";
    EXPECT_TRUE(platform::FolderAcceptsNewFiles(made));

    testsupport::WriteFile(root + "/file", "x");
    EXPECT_FALSE(platform::FolderAcceptsNewFiles(root + "/file"));
    EXPECT_FALSE(platform::CreateFolders(root + "/file/sub"));

    testsupport::MakeReadOnly(root + "/a");
    EXPECT_FALSE(platform::FolderAcceptsNewFiles(root + "/a"))
        << "the read-only rule holds for root";
    EXPECT_FALSE(platform::CreateFolders(root + "/a/other"));

    // A folder that belongs to someone else, as an installed program's folder does: the
    // permissions say no to anyone but its owner even though its owner write bit is set. A folder
    // open to all shows that the other user can reach the place at all.
    testsupport::SetMode(root, 0755);
    testsupport::SetMode(root + "/a/b", 0755);
    testsupport::MakeFolder(root + "/open");
    testsupport::SetMode(root + "/open", 0777);
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to act as another user";
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(2);
        ::_exit(platform::FolderAcceptsNewFiles(root + "/open") &&
                        !platform::FolderAcceptsNewFiles(root + "/a/b")
                    ? 0
                    : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "2: could not become another user, 1: wrong answer";
}

#endif

} // namespace
