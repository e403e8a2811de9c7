// The game must be closed for a transfer: while a process runs one of the game's programs in the
// game folder (natively, or under Wine by its Windows path), Begin Transfer changes nothing and
// says why, the headless run exits with that message, and the start-up only says so. The game
// is stood in for by `sleep`, run from the game's folder or under the game's Windows name (on
// Windows, by this test program copied in as the game).

// <windows.h> first: the platform header takes back the names it turns into macros.
#ifdef _WIN32
#include <windows.h>
#endif

#include "Driver.h"
#include "GameFolderFixture.h"
#include "Invariant.h"

#include "runtime/GameRunning.h"
#include "runtime/Globals.h"
#include "startup/StartupSequence.h"

#include "support/FakeHost.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

#ifndef _WIN32
enum class StandIn { None, NativeProgram, WineCommandLine, WineInAnotherPrefix };

// Starts the stand-in and waits until it runs as the game would show in /proc.
pid_t Start(StandIn kind, const std::string& nativeProgram) {
    const pid_t pid = fork();
    if (pid == 0) {
        if (kind == StandIn::WineInAnotherPrefix)
            setenv("WINEPREFIX", (nativeProgram + "-prefix").c_str(), 1);
        if (kind == StandIn::NativeProgram)
            execl(nativeProgram.c_str(), "ut-bin-amd64", "30", static_cast<char*>(nullptr));
        else
            execl("/bin/sleep", "C:\\Game\\System\\UnrealTournament.exe", "30",
                  static_cast<char*>(nullptr));
        _exit(127);
    }
    const std::string proc = "/proc/" + std::to_string(pid);
    for (int tick = 0; tick < 200; ++tick) {
        const std::string exe = fs::read_symlink(proc + "/exe").string();
        std::string first;
        std::getline(std::ifstream(proc + "/cmdline"), first, '\0');
        if (kind == StandIn::NativeProgram ? exe == nativeProgram : first.starts_with("C:\\"))
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return pid;
}

class GameRunningTest : public lodestow_test::GameFolderTest {};

TEST_F(GameRunningTest, ARunningGameStopsTheTransferBeforeAnyFileIsTouched) {
    struct Case {
        const char* what;
        StandIn standIn;
    };
    const std::vector<Case> cases = {
        {"the native game", StandIn::NativeProgram},
        {"the Windows game under Wine", StandIn::WineCommandLine},
        {"no game", StandIn::None},
        // The same Windows path in a prefix of its own is another game.
        {"another prefix's game", StandIn::WineInAnotherPrefix},
    };
    const std::string program = Native("System64/ut-bin-amd64");
    fs::create_directories(Native("System64"));
    fs::copy_file("/bin/sleep", program);
    fs::permissions(program, fs::perms::owner_all);
    Write("System/UnrealTournament.exe", "the game");
    fs::create_directories(program + "-prefix/dosdevices");
    fs::create_directories(program + "-prefix/drive_c/Game/System");
    fs::create_directory_symlink("../drive_c", program + "-prefix/dosdevices/c:");
    testsupport::WriteFile(program + "-prefix/drive_c/Game/System/UnrealTournament.exe", "other");
    testsupport::WriteFile(root_ + "/prog/Lodestow.ini", "C:\\Game\\\r\n");

    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const bool running =
            c.standIn != StandIn::None && c.standIn != StandIn::WineInAnotherPrefix;
        Write("Cache/cache.ini", "[Cache]\r\nK1=DM-A.unr\r\n");
        Write("Cache/K1.uxx", "map");
        const pid_t game = c.standIn != StandIn::None ? Start(c.standIn, program) : -1;

        // The start-up opens all the same, and says so.
        UnrealMOD::GameFolder.clear();
        testsupport::BasicFakeHost<lodestow_test::MarkingCatalogue> host;
        ASSERT_EQ(UnrealMOD::RunStartupSequence(host), UnrealMOD::StartupOutcome::GameFound);
        EXPECT_EQ(UnrealMOD::StartupNotice(), running ? UnrealMOD::GameRunningNotice() : "");

        const reliability::Tree before = reliability::ScanTree(prefix_);
        lodestow_test::FakeView view;
        UnrealMOD::RunitClick(host.catalogue, view);
        if (running) {
            EXPECT_EQ(view.log, std::vector<std::string>{"problem"});
            EXPECT_EQ(view.problems, std::vector<std::string>{UnrealMOD::GameRunningRefusal()});
            EXPECT_TRUE(host.catalogue.marks.empty());
            EXPECT_EQ(reliability::ScanTree(prefix_), before);
        } else {
            EXPECT_TRUE(view.problems.empty());
            EXPECT_EQ(Read("Maps/DM-A.unr"), "map");
        }

        // The headless run: the message on its error output, and a failing exit.
        const std::string errors = root_ + "/driver-errors";
        std::fflush(stderr);
        const int saved = dup(2);
        const int out = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        dup2(out, 2);
        const pid_t driver = reliability::StartDriver();
        dup2(saved, 2);
        close(out);
        close(saved);
        EXPECT_EQ(reliability::WaitWithin(driver, 30), running ? 4 : 0);
        const std::string said = testsupport::ReadFile(errors);
        if (running) {
            EXPECT_EQ(said, UnrealMOD::GameRunningRefusal() + "\n");
            EXPECT_EQ(reliability::ScanTree(prefix_), before);
        }

        if (game > 0) {
            kill(game, SIGKILL);
            waitpid(game, nullptr, 0);
        }
    }
}
#else
// The stand-in is this test program, copied in as the game's executable and left waiting in the
// test below, which is run only when asked for by name.
TEST(GameStandIn, DISABLED_Waits) {
    Sleep(30000);
}

class GameRunningTest : public lodestow_test::GameFolderTest {};

TEST_F(GameRunningTest, ARunningGameStopsTheTransferBeforeAnyFileIsTouched) {
    wchar_t self[MAX_PATH];
    ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH), 0U);
    const fs::path program = testsupport::Utf8Path(Native("System/UnrealTournament.exe"));
    fs::copy_file(self, program);
    for (const bool running : {true, false}) {
        SCOPED_TRACE(running ? "the game" : "no game");
        Write("Cache/cache.ini", "[Cache]\r\nK1=DM-A.unr\r\n");
        Write("Cache/K1.uxx", "map");
        PROCESS_INFORMATION game{};
        if (running) {
            STARTUPINFOW startup{};
            startup.cb = sizeof startup;
            std::wstring line = L"UnrealTournament.exe "
                                L"--gtest_filter=GameStandIn.DISABLED_Waits "
                                L"--gtest_also_run_disabled_tests";
            ASSERT_TRUE(CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0,
                                       nullptr, nullptr, &startup, &game));
        }
        EXPECT_EQ(UnrealMOD::GameIsRunning(UnrealMOD::GameFolder), running);
        lodestow_test::MarkingCatalogue catalogue;
        Load(catalogue);
        lodestow_test::FakeView view;
        UnrealMOD::RunitClick(catalogue, view);
        if (running) {
            EXPECT_EQ(view.log, std::vector<std::string>{"problem"});
            EXPECT_EQ(Read("Cache/K1.uxx"), "map");
            EXPECT_FALSE(Exists("Maps/DM-A.unr"));
            TerminateProcess(game.hProcess, 0);
            WaitForSingleObject(game.hProcess, INFINITE);
            CloseHandle(game.hProcess);
            CloseHandle(game.hThread);
        } else {
            EXPECT_TRUE(view.problems.empty());
            EXPECT_EQ(Read("Maps/DM-A.unr"), "map");
        }
    }
}
#endif

} // namespace
