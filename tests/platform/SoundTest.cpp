// Playback runs in a child process per case: SDL picks its audio driver once per process, and a
// child that hangs is killed by its alarm instead of holding the suite.

#include "platform/Sound.h"
#include "support/TestSupport.h"

#include <chrono>
#ifndef _WIN32
#include <csignal>
#endif
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using testsupport::TempTree;

namespace {

#ifdef _WIN32
TEST(SoundTest, PlaysThroughSdl) {
    GTEST_SKIP() << "POSIX only: cues go through SDL there; on Windows sndPlaySound plays them, "
                    "checked with the program under Wine";
}
#else

struct Outcome {
    long elapsedMs = -1;
    bool signalHandlersLeftAlone = false;
};

Outcome PlayInChild(const std::string& path, const char* driver, const std::string& diskFile = "") {
    int fds[2];
    if (::pipe(fds) != 0)
        return {};
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        ::alarm(20);
        ::setenv("SDL_AUDIODRIVER", driver, 1);
        // SDL 2 names the disk driver's output file SDL_DISKAUDIOFILE.
        ::setenv("SDL_DISKAUDIOFILE", diskFile.empty() ? "/dev/null" : diskFile.c_str(), 1);
        const auto start = std::chrono::steady_clock::now();
        platform::PlayWavSync(path);
        Outcome out;
        out.elapsedMs = static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                              std::chrono::steady_clock::now() - start)
                                              .count());
        struct sigaction action {};
        ::sigaction(SIGINT, nullptr, &action);
        out.signalHandlersLeftAlone = action.sa_handler == SIG_DFL;
        if (::write(fds[1], &out, sizeof out) != sizeof out)
            ::_exit(2);
        ::_exit(0);
    }
    ::close(fds[1]);
    Outcome out;
    if (child < 0 || ::read(fds[0], &out, sizeof out) != sizeof out)
        out = {};
    ::close(fds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return {};
    return out;
}

class SoundTest : public ::testing::Test {
protected:
    void SetUp() override {
        testsupport::WriteFile(tree.root() + "/Cue.wav", testsupport::SquareWav(0.3));
        testsupport::WriteFile(tree.root() + "/Garbage.wav",
                               "RIFF\x10\0\0\0WAVEjunk not a wave at all");
    }
    TempTree tree;
};

TEST_F(SoundTest, PlaysToTheEndBeforeReturning) {
    for (const char* driver : {"dummy", "disk"}) {
        SCOPED_TRACE(driver);
        const Outcome out = PlayInChild(tree.root() + "/Cue.wav", driver);
        EXPECT_GE(out.elapsedMs, 250);
        EXPECT_LT(out.elapsedMs, 5000);
        EXPECT_TRUE(out.signalHandlersLeftAlone);
    }
}

TEST_F(SoundTest, TheSamplesReachTheDevice) {
    const std::string sink = tree.root() + "/sink.raw";
    // A Windows-style path of another case, resolved through Z:.
    const Outcome out = PlayInChild("Z:" + tree.root() + "\\CUE.WAV", "disk", sink);
    EXPECT_GE(out.elapsedMs, 250);
    struct stat st {};
    ASSERT_EQ(::stat(sink.c_str(), &st), 0);
    EXPECT_GE(st.st_size, 300 * 22050 / 1000 * 2); // every sample was written out
}

TEST_F(SoundTest, UnplayableFilesAndMissingDevicesAreSilentAndImmediate) {
    const struct {
        const char* name;
        std::string path;
        const char* driver;
    } cases[] = {
        {"missing file", tree.root() + "/Missing.wav", "dummy"},
        {"no drive", "Q:\\Cue.wav", "dummy"},
        {"garbage file", tree.root() + "/Garbage.wav", "dummy"},
        {"a folder", tree.root(), "dummy"},
        {"no such driver", tree.root() + "/Cue.wav", "nonexistent"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome out = PlayInChild(c.path, c.driver);
        EXPECT_GE(out.elapsedMs, 0);
        EXPECT_LT(out.elapsedMs, 200);
    }
}

#endif

} // namespace
