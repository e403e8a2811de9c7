#include "platform/FileSystem.h"
#include "runtime/Copier.h"
#include "runtime/DoEvents.h"
#include "runtime/Globals.h"
#include "runtime/PlayCue.h"
#include "support/TestSupport.h"

#include <chrono>
#include <gtest/gtest.h>

using namespace testsupport;

namespace {

class CopierTest : public ::testing::Test {
protected:
    void SetUp() override {
        UnrealMOD::SetDoEventsHandler([this] { ++doEvents; });
    }
    void TearDown() override { UnrealMOD::SetDoEventsHandler(nullptr); }
    // Game paths are Windows-style; a leading '/' is a native absolute path.
    std::string P(const std::string& rel) const { return dir.path().string() + "\\" + rel; }
    fs::path N(const std::string& rel) const { return dir.path() / rel; }

    TempDir dir;
    int doEvents = 0;
};

TEST_F(CopierTest, FolderFormNeedsTrailingBackslashAndLeavesNoProbe) {
    fs::create_directories(N("Empty"));
    EXPECT_FALSE(Copier::FileExists(P("Empty")));
    EXPECT_TRUE(Copier::FileExists(P("Empty\\")));
    EXPECT_TRUE(fs::is_empty(N("Empty")));
    EXPECT_FALSE(Copier::FileExists(P("Missing\\")));
    EXPECT_FALSE(fs::exists(N("Missing")));
}

TEST_F(CopierTest, ReadOnlyFolderCountsAsAbsent) {
#ifdef _WIN32
    GTEST_SKIP()
        << "POSIX only: on Windows the read-only attribute of a folder does not refuse new files";
#else
    fs::create_directories(N("Locked"));
    WriteFile(N("Locked/file.txt"), "x");
    MakeReadOnly(N("Locked"));
    EXPECT_FALSE(Copier::FileExists(P("Locked\\")));
    EXPECT_FALSE(fs::exists(N("Locked") / Copier::ProbeFileName));
    // Its files are still there to be found.
    EXPECT_TRUE(Copier::FileExists(P("Locked\\file.txt")));
#endif
}

TEST_F(CopierTest, ExistingProbeFileIsEmptiedAndRemoved) {
    WriteFile(N("Dir") / Copier::ProbeFileName, "someone's data");
    EXPECT_TRUE(Copier::FileExists(P("Dir\\")));
    EXPECT_FALSE(fs::exists(N("Dir") / Copier::ProbeFileName));
}

TEST_F(CopierTest, FilesMatchByPatternAndCaseButFoldersNever) {
    WriteFile(N("Cache/K1.uxx"), "data");
    fs::create_directories(N("Cache/Folder.uxx"));
    EXPECT_TRUE(Copier::FileExists(P("Cache\\K1.uxx")));
    EXPECT_TRUE(Copier::FileExists(P("CACHE\\k1.UXX")));
    EXPECT_TRUE(Copier::FileExists(P("Cache\\K?.uxx")));
    EXPECT_FALSE(Copier::FileExists(P("Cache\\Folder.uxx")));
    EXPECT_FALSE(Copier::FileExists(P("Cache\\K2.uxx")));
}

TEST_F(CopierTest, KillIfExists) {
    WriteFile(N("gone.txt"), "x");
    EXPECT_TRUE(Copier::KillIfExists(P("gone.txt")));
    EXPECT_FALSE(fs::exists(N("gone.txt")));
    EXPECT_EQ(doEvents, 1) << "pending events run after a deletion";

    EXPECT_FALSE(Copier::KillIfExists(P("never-there.txt")));

    WriteFile(N("locked.txt"), "keep");
    MakeReadOnly(N("locked.txt"));
    EXPECT_FALSE(Copier::KillIfExists(P("locked.txt")));
    EXPECT_EQ(ReadFile(N("locked.txt")), "keep");
    EXPECT_EQ(doEvents, 1);
}

TEST_F(CopierTest, CopyIfExists) {
    WriteFile(N("src.bin"), std::string("new\0bytes", 9));
    WriteFile(N("Maps/dst.unr"), "old content that is longer");
    EXPECT_TRUE(Copier::CopyIfExists(P("src.bin"), P("Maps\\dst.unr")));
    EXPECT_EQ(ReadFile(N("Maps/dst.unr")), std::string("new\0bytes", 9));

    EXPECT_FALSE(Copier::CopyIfExists(P("nosuch.bin"), P("Maps\\other.unr")));
    EXPECT_FALSE(fs::exists(N("Maps/other.unr")));

    WriteFile(N("Maps/locked.unr"), "original");
    MakeReadOnly(N("Maps/locked.unr"));
    EXPECT_FALSE(Copier::CopyIfExists(P("src.bin"), P("Maps\\locked.unr")));
    EXPECT_EQ(ReadFile(N("Maps/locked.unr")), "original");

    EXPECT_FALSE(Copier::CopyIfExists(P("src.bin"), P("NoFolder\\x.unr")));
    EXPECT_FALSE(fs::exists(N("NoFolder")));
    EXPECT_EQ(doEvents, 0) << "copying does not process events";
}

#ifndef _WIN32
double SecondsToPlay(const std::string& path) {
    const auto start = std::chrono::steady_clock::now();
    UnrealMOD::PlayCue(path);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}
#endif

TEST_F(CopierTest, PlayCueWaitsForTheSoundAndIsSilentWithoutIt) {
#ifdef _WIN32
    GTEST_SKIP()
        << "POSIX only: the run under Wine has no sound device, so nothing plays for its length";
#else
    UnrealMOD::ProgramFolder() = dir.path().string();
    WriteFile(N("winstart.wav"), SilentWav(1.0));
    // The dummy driver plays in real time; allow its period of slack.
    EXPECT_GE(SecondsToPlay(UnrealMOD::CuePath("\\winstart.wav")), 0.9);
    EXPECT_LT(SecondsToPlay(UnrealMOD::CuePath("\\unstoppable.wav")), 0.5);
    WriteFile(N("broken.wav"), "RIFF but not really a sound");
    EXPECT_LT(SecondsToPlay(UnrealMOD::CuePath("\\broken.wav")), 0.5);
#endif
}

// Cues are looked for beside the executable first, then in the player's folder.
TEST_F(CopierTest, CuesBesideTheProgramComeFirstThenThePlayersFolder) {
#ifdef _WIN32
    GTEST_SKIP()
        << "POSIX only: the run under Wine has no sound device, so nothing plays for its length";
#else
    const std::string program = N("prog").string(), user = N("user").string();
    UnrealMOD::ProgramFolder() = program;
    UnrealMOD::UserFolder() = user;
    WriteFile(N("prog/winstart.wav"), SilentWav(0.1));
    WriteFile(N("user/winstart.wav"), SilentWav(0.1));
    WriteFile(N("user/hgasp1.wav"), SilentWav(0.6));
    EXPECT_EQ(UnrealMOD::CuePath("\\winstart.wav"), program + "\\winstart.wav");
    EXPECT_EQ(UnrealMOD::CuePath("\\hgasp1.wav"), user + "\\hgasp1.wav");
    EXPECT_GE(SecondsToPlay(UnrealMOD::CuePath("\\hgasp1.wav")), 0.5);
    UnrealMOD::UserFolder().clear();
    EXPECT_LT(SecondsToPlay(UnrealMOD::CuePath("\\hgasp1.wav")), 0.3);
#endif
}

} // namespace
