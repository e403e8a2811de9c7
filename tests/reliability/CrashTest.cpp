// The transfer killed (SIGKILL) midway: no file may be lost or half-written, and the next run
// finishes the work. The run is the headless driver; the windows are only a view over it.

#include "Driver.h"
#include "GameFolderFixture.h"
#include "Invariant.h"

#include "platform/FileSystem.h"
#include "support/NamedCase.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <dirent.h>
#include <signal.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
TEST(CrashTest, KilledRuns) {
    GTEST_SKIP() << "POSIX only: the run is killed with SIGKILL at chosen points; the Windows "
                    "layer gives the same guarantees with MoveFileEx over a flushed temporary file";
}
#else

std::string Bytes(std::size_t seed, std::size_t size) {
    std::string bytes(size, '\0');
    std::uint32_t x = static_cast<std::uint32_t>(seed) * 2654435761U + 1U;
    for (char& c : bytes) {
        x = x * 1103515245U + 12345U;
        c = static_cast<char>(x >> 24);
    }
    return bytes;
}

std::size_t CountEntries(const std::string& folder) {
    std::size_t n = 0;
    if (DIR* dir = opendir(folder.c_str())) {
        while (const dirent* e = readdir(dir))
            if (e->d_name[0] != '.')
                ++n;
        closedir(dir);
    }
    return n;
}

void ExpectNoViolations(const reliability::Before& before, const char* when = "") {
    for (const std::string& problem : reliability::Violations(before))
        ADD_FAILURE() << when << ": " << problem;
}

struct KillPoint {
    const char* name;
    int perMille; // where the kill lands, in thousandths of the calls a whole run makes
};

void PrintTo(const KillPoint& k, std::ostream* out) {
    *out << k.name << " (at " << k.perMille << "/1000 of the run)";
}

// The kill is made by the preloaded library at an exact file-system call, counted on a whole run
// of the same game: a test watching the folders from outside notices too late on a busy machine.
class KillTest : public lodestow_test::GameFolderTest {
protected:
    std::vector<std::string> Env(long killAt) const {
        return reliability::FaultEnv(killAt, 0, killAt > 0, countFile_, state_.path().string());
    }

    // Makes the game, runs the whole transfer on it and answers the number of calls it made;
    // then makes the game again for the run that is killed.
    long CallsOfAWholeRun(const std::function<void()>& makeGame) {
        makeGame();
        EXPECT_EQ(reliability::RunDriver(Env(0)), 0);
        makeGame();
        return std::stol(testsupport::TryReadFile(countFile_).value_or("0"));
    }

    // Starts the driver killed at call `at`; true when it died there.
    static testing::AssertionResult KilledAt(const std::vector<std::string>& env, long at) {
        const pid_t driver = reliability::StartDriver(env);
        int status = 0;
        if (driver <= 0 || waitpid(driver, &status, 0) != driver)
            return testing::AssertionFailure() << "the driver did not start";
        if (!WIFSIGNALED(status) || WTERMSIG(status) != SIGKILL)
            return testing::AssertionFailure() << "the run was not killed at call " << at;
        return testing::AssertionSuccess();
    }

    testsupport::TempDir state_;
    std::string countFile_ = (state_.path() / "count").string();
};

class CrashTest : public KillTest, public testing::WithParamInterface<KillPoint> {
protected:
    static constexpr int Entries = 2000;

    // Mostly maps, some textures, every tenth a code package that stays; now and then a large
    // file, so that the run spends long inside single copies too.
    void MakeCache() {
        for (const char* folder : {"Cache", "Maps", "Textures"})
            for (const auto& entry : fs::directory_iterator(Native(folder)))
                fs::remove_all(entry.path());
        system.clear();
        maps = textures = 0;
        std::string index = "[Cache]\r\n";
        for (int i = 0; i < Entries; ++i) {
            const std::string cache = "C" + std::to_string(i * 7919 % 100003);
            std::string name;
            if (i % 10 == 0)
                name = "Code" + std::to_string(i) + ".u";
            else if (i % 10 == 1)
                name = "Tex" + std::to_string(i) + ".utx";
            else
                name = "DM-Map" + std::to_string(i) + ".unr";
            index += cache + "=" + name + "\r\n";
            const std::size_t size = i % 97 == 5 ? (2U << 20) : 1000U + (i * 7919U) % 20000U;
            Write("Cache/" + cache + ".uxx", Bytes(static_cast<std::size_t>(i), size));
            // Two are installed already, byte for byte: their cached copies just go.
            if (i == 2 || i == 3)
                Write("Maps/" + name, Bytes(static_cast<std::size_t>(i), size));
            if (i % 10 == 0)
                system += cache + "=" + name + "\r\n";
            else if (i % 10 == 1)
                ++textures;
            else
                ++maps;
        }
        Write("Cache/cache.ini", index);
    }

    std::string system;
    std::size_t maps = 0;
    std::size_t textures = 0;
};

TEST_P(CrashTest, KilledRunLosesNothingAndTheNextRunFinishes) {
    const long calls = CallsOfAWholeRun([this] { MakeCache(); });
    ASSERT_GT(calls, Entries);
    const reliability::Before before = reliability::Before::Take(root_);
    ASSERT_EQ(before.entries.size(), static_cast<std::size_t>(Entries));
    const long at = std::max(1L, calls * GetParam().perMille / 1000);
    ASSERT_TRUE(KilledAt(Env(at), at)) << "of " << calls;
    std::printf("killed at call %ld of %ld, with %zu files of %zu in Maps\n", at, calls,
                CountEntries(Native("Maps")), maps);
    ExpectNoViolations(before, "after the kill");

    // The next start finishes the work.
    EXPECT_EQ(reliability::RunDriver(Env(0)), 0);
    ExpectNoViolations(before, "after the second run");
    for (const reliability::Entry& e : before.entries)
        if (e.destination != "System") {
            EXPECT_FALSE(fs::exists(e.cacheNative)) << e.fileName << " is still in the cache";
        }
    EXPECT_EQ(CountEntries(Native("Maps")), maps);
    EXPECT_EQ(CountEntries(Native("Textures")), textures);
    EXPECT_EQ(Read("Cache/cache.ini"), "[Cache]\r\n" + system + "\r\n");
}

INSTANTIATE_TEST_SUITE_P(KillPoints, CrashTest,
                         testing::Values(KillPoint{"WhileChecking", 20},
                                         KillPoint{"FirstCopies", 150}, KillPoint{"Midway", 500},
                                         KillPoint{"NearTheEnd", 950}, KillPoint{"LastCall", 1000}),
                         testsupport::CaseName());

// A kill inside the copy of one large file: the destination never shows a partial file under any
// name, and the space it took is given back.
class KilledCopyTest : public KillTest {};

TEST_F(KilledCopyTest, KillInsideALargeCopyLeavesNoPartialFile) {
    testsupport::InOwnMountNamespace([&] {
        testsupport::MountTmpfs(Native("Cache"), 400U << 20);
        testsupport::MountTmpfs(Native("Maps"), 400U << 20);
        const std::string big = Bytes(42, 300U << 20);
        const auto makeGame = [&] {
            for (const char* folder : {"Cache", "Maps"})
                for (const auto& entry : fs::directory_iterator(Native(folder)))
                    fs::remove_all(entry.path());
            Write("Cache/K1.uxx", big);
            Write("Cache/cache.ini", "[Cache]\r\nK1=DM-Big.unr\r\n");
        };
        struct statvfs empty {};
        ASSERT_EQ(statvfs(Native("Maps").c_str(), &empty), 0);
        // Across the two file systems the package is copied a piece at a time; those calls are
        // nearly all a run makes, so half of them lands well inside the copy.
        const long calls = CallsOfAWholeRun(makeGame);
        ASSERT_GT(calls, 300);
        const reliability::Before before = reliability::Before::Take(root_);
        ASSERT_TRUE(KilledAt(Env(calls / 2), calls / 2)) << "of " << calls;

        ExpectNoViolations(before);
        EXPECT_EQ(Names("Maps"), std::vector<std::string>{});
        struct statvfs after {};
        ASSERT_EQ(statvfs(Native("Maps").c_str(), &after), 0);
        EXPECT_LT((empty.f_bfree - after.f_bfree) * after.f_frsize, 1U << 20)
            << "the killed copy still holds space";

        EXPECT_EQ(reliability::RunDriver(Env(0)), 0);
        ExpectNoViolations(before);
        EXPECT_EQ(Read("Maps/DM-Big.unr"), big);
        EXPECT_EQ(Names("Cache"), std::vector<std::string>{"cache.ini"});
    });
}

#endif

} // namespace
