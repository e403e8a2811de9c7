// Every file-system call of a small transfer failed in turn, with EIO and with ENOSPC: after each
// faulted run, and after a clean run that follows it, the promise (Invariant.h) holds. The calls
// are failed by a library preloaded into the headless driver.

#include "Driver.h"
#include "GameFolderFixture.h"
#include "Invariant.h"

#include "support/NamedCase.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
TEST(FaultSweepTest, EveryCallFails) {
    GTEST_SKIP() << "POSIX only: the failing calls come from a preloaded library";
}
#else

class FaultSweepTest : public lodestow_test::GameFolderTest {
protected:
    // A move within the disk, another version installed (it stays), a code package that stays, a
    // missing cache file, moves to another file system (a new file and a duplicate of an
    // installed one), and a package whose destination is read-only: it stays in the cache, so
    // the rewrite must find it there.
    void MakeGame() {
        for (const char* folder : {"Cache", "Maps", "Textures", "Music"}) {
            for (const auto& entry : fs::directory_iterator(Native(folder)))
                fs::remove_all(entry.path());
        }

        Write("Cache/cache.ini", "[Cache]\r\nK1=DM-A.unr\r\nK2=Pack.u\r\nK3=Sky.utx\r\n"
                                 "K4=Gone.unr\r\nK5=Song.umx\r\nK6=Old.umx\r\nK7=Locked.utx\r\n");
        Write("Cache/K1.uxx", std::string(3000, 'a'));
        Write("Cache/K2.uxx", std::string(100, 'b'));
        Write("Cache/K3.uxx", std::string(5000, 'c'));
        Write("Cache/K5.uxx", std::string(7000, 'e'));
        Write("Cache/K6.uxx", std::string(2000, 'f'));
        Write("Textures/Sky.utx", "an older texture");
        Write("Music/Old.umx", std::string(2000, 'f'));
        Write("Cache/K7.uxx", std::string(900, 'g'));
        Write("Textures/Locked.utx", "read-only");
        SetMode("Textures/Locked.utx", 0444);
    }

    std::vector<std::string> Env(long failAt, int error) const {
        return reliability::FaultEnv(failAt, error, false, countFile_, state_.path().string());
    }

    long CallsOfACleanRun() {
        MakeGame();
        EXPECT_EQ(reliability::RunDriver(Env(0, 0)), 0);
        return std::stol(*testsupport::TryReadFile(countFile_));
    }

    testsupport::TempDir state_;
    std::string countFile_ = (state_.path() / "count").string();
};

TEST_F(FaultSweepTest, EveryCallFailedInTurnLosesNothing) {
    testsupport::InOwnMountNamespace([&] {
        testsupport::MountTmpfs(Native("Music"), 1 << 20);
        const long calls = CallsOfACleanRun();
        ASSERT_GT(calls, 50);
        long runs = 0, violations = 0, faultedRunsWithProblem = 0;
        for (const int error : {EIO, ENOSPC}) {
            for (long at = 1; at <= calls; ++at) {
                MakeGame();
                const reliability::Before before = reliability::Before::Take(root_);
                const int code = reliability::RunDriver(Env(at, error));
                ++runs;
                EXPECT_NE(code, -1) << "the driver died at call " << at;
                if (code != 0)
                    ++faultedRunsWithProblem;
                for (const std::string& problem : reliability::Violations(before)) {
                    ++violations;
                    ADD_FAILURE() << "call " << at << " failed with " << error << ": " << problem;
                }
                // The next run, without a fault, finishes the work and still loses nothing.
                EXPECT_EQ(reliability::RunDriver(Env(0, 0)), 0) << "after call " << at;
                for (const std::string& problem : reliability::Violations(before)) {
                    ++violations;
                    ADD_FAILURE() << "after call " << at << " failed with " << error
                                  << ", the next run: " << problem;
                }
            }
        }
        std::printf("fault sweep: %ld calls per run, %ld faulted runs (%ld told the user), "
                    "%ld invariant violations\n",
                    calls, runs, faultedRunsWithProblem, violations);
    });
}

// The game saves its index (emptied, then written anew with a download it has just made) while
// the run reads it at its end and while the run replaces it: no entry is lost, and the index
// lists the new downloads, or is left as the game wrote it and the user told.
struct GameSave {
    const char* name;
    const char* steps; // see fault_shim.cpp
    int saves;         // how many saves the steps make (each adds one download)
    int exitCode;
};

void PrintTo(const GameSave& s, std::ostream* out) {
    *out << s.name;
}

class GameSavesTheIndex : public FaultSweepTest, public testing::WithParamInterface<GameSave> {};

TEST_P(GameSavesTheIndex, NoEntryIsLost) {
    const GameSave& save = GetParam();
    MakeGame();
    std::string env = "LODESTOW_GAME_TEXTS=";
    std::string text = *Read("Cache/cache.ini");
    for (int i = 0; i < save.saves; ++i) {
        const std::string cache = "N" + std::to_string(i);
        Write("Cache/" + cache + ".uxx", "download " + cache);
        text += cache + "=DM-New" + std::to_string(i) + ".unr\r\n";
        const std::string file = (state_.path() / (cache + ".ini")).string();
        testsupport::WriteFile(file, text);
        env += (i ? ":" : "") + file;
    }
    const reliability::Before before = reliability::Before::Take(root_);
    std::vector<std::string> environment = Env(0, 0);
    environment.push_back("LODESTOW_GAME_INDEX=" + Native("Cache/cache.ini"));
    environment.push_back(env);
    environment.push_back(std::string("LODESTOW_GAME_STEPS=") + save.steps);

    EXPECT_EQ(reliability::RunDriver(environment), save.exitCode);
    for (const std::string& problem : reliability::Violations(before))
        ADD_FAILURE() << problem;
    const std::string index = *Read("Cache/cache.ini");
    for (int i = 0; i < save.saves; ++i) {
        const std::string entry = "\nN" + std::to_string(i) + "=DM-New" + std::to_string(i);
        EXPECT_NE(index.find(entry), std::string::npos) << index;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Saves, GameSavesTheIndex,
    testing::Values(
        // Cut short for the closing read and the rewrite's first reading; the second save
        // goes into the old index as the new one takes its name.
        GameSave{"DuringTheClosingReadAndTheRewrite", "open@2,open@4,rename@1,renamed@1", 2, 0},
        GameSave{"AsTheRewriteReplacesTheIndex", "rename@1,renamed@1", 1, 0},
        // Still cut short when the rewrite gives up: the index is left to the game.
        GameSave{"OutlastingTheRewrite", "open@2", 1, 4}),
    testsupport::CaseName());

#endif

} // namespace
