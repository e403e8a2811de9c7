// The transfer run and the whole "Begin Transfer" click on a real game folder.

#include "GameFolderFixture.h"

#include "catalogue/CacheIndex.h"
#include "catalogue/EntryFacts.h"
#include "runtime/DoEvents.h"
#include "support/PackageBytes.h"
#include "transfer/Entries.h"
#include "transfer/Replace.h"
#include "transfer/Transfer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif
#include <sstream>
#include <stdexcept>

using lodestow_test::FakeView;
using lodestow_test::MarkingCatalogue;
using UnrealMOD::CatalogueRow;
using Strings = std::vector<std::string>;

namespace {

const std::string ThreeEntries = "[Cache]\r\nK1=DM-A.unr\r\nK2=Pack.u\r\nK3=Sky.utx\r\n";

class TransferTest : public lodestow_test::GameFolderTest {
public:
    // For the tables of game states below.
    using GameFolderTest::Native;
    using GameFolderTest::SetMode;
    using GameFolderTest::Write;

protected:
    void WriteThree() {
        Write("Cache/cache.ini", ThreeEntries);
        Write("Cache/K1.uxx", "map bytes \x01\x02\r\n");
        Write("Cache/K2.uxx", "code bytes");
        Write("Cache/K3.uxx", std::string(70000, 't'));
    }
};

TEST_F(TransferTest, ThreeEntryExampleEndToEnd) {
    WriteThree();
    MarkingCatalogue catalogue;
    Load(catalogue);
    EXPECT_EQ(catalogue.NumFilesText(), "3");
    EXPECT_EQ(catalogue.OnesToTransferText(), "2");
    int events = 0;
    UnrealMOD::SetDoEventsHandler([&] { ++events; });
    FakeView view;

    UnrealMOD::RunitClick(catalogue, view);

    EXPECT_EQ(catalogue.marks, (Strings{"DM-A.unr:YES", "Pack.u:Skipped", "Sky.utx:YES"}));
    EXPECT_EQ(view.Labels(), (Strings{"0 out of 2 Transfered", "1 out of 2 Transfered",
                                      "2 out of 2 Transfered", "Complete!!!"}));
    EXPECT_EQ(Read("Maps/DM-A.unr"), "map bytes \x01\x02\r\n");
    EXPECT_EQ(Read("Textures/Sky.utx"), std::string(70000, 't'));
    EXPECT_EQ(Names("Cache"), (Strings{"K2.uxx", "cache.ini"}));
    EXPECT_EQ(Read("Cache/cache.ini"), "[Cache]\r\nK2=Pack.u\r\n\r\n");
    // Read again at the end of the run, before the rewrite: all three rows, every mark "NO".
    EXPECT_EQ(catalogue.rows, (std::vector<CatalogueRow>{{"DM-A.unr", "K1", "Maps", "NO"},
                                                         {"Pack.u", "K2", "System", "NO"},
                                                         {"Sky.utx", "K3", "Textures", "NO"}}));
    EXPECT_EQ(catalogue.NumFilesText(), "3");
    EXPECT_EQ(catalogue.OnesToTransferText(), "2");
    EXPECT_EQ(view.log,
              (Strings{"frame", "label:0 out of 2 Transfered", "disabled", "busy", "max:2", "min:0",
                       "value:0", "value:1", "label:1 out of 2 Transfered", "value:2",
                       "label:2 out of 2 Transfered", "enabled", "value:2", "pointer", "endprog",
                       "label:Complete!!!"}));
    // The click, each deletion and the closing read let the window repaint.
    EXPECT_EQ(events, 4);
}

TEST_F(TransferTest, SecondRunMarksMovedRowsErroredAndSystemSkipped) {
    WriteThree();
    MarkingCatalogue catalogue;
    Load(catalogue);
    FakeView first;
    UnrealMOD::RunitClick(catalogue, first);
    catalogue.marks.clear();
    FakeView second;

    UnrealMOD::RunitClick(catalogue, second);

    EXPECT_EQ(catalogue.marks, (Strings{"DM-A.unr:Errored", "Pack.u:Skipped", "Sky.utx:Errored"}));
    EXPECT_EQ(second.Labels(), (Strings{"0 out of 2 Transfered", "Complete!!!"}));
    EXPECT_EQ(second.value, 2.0F); // the bar still ends full
    EXPECT_EQ(Read("Maps/DM-A.unr"), "map bytes \x01\x02\r\n");
    EXPECT_EQ(Read("Cache/cache.ini"), "[Cache]\r\nK2=Pack.u\r\n\r\n");
    // The catalogue now holds what the rewritten index holds.
    EXPECT_EQ(catalogue.RowCount(), 1);
    EXPECT_EQ(catalogue.OnesToTransferText(), "0");
}

TEST_F(TransferTest, FailedCopiesStayInTheCacheAndInTheIndex) {
    // K1 vanished before the run; no "Unknown File" folder for K4; K5 goes to a folder that is
    // not there.
    Write("Cache/cache.ini", "[Cache]\r\nK1=DM-A.unr\r\nK4=Readme.txt\r\nK5=Song.umx\r\n"
                             "K6=Boom.uax\r\n");
    Write("Cache/K4.uxx", "text");
    Write("Cache/K5.uxx", "music");
    Write("Cache/K6.uxx", "sound");
    std::filesystem::remove(Native("Music"));
    MarkingCatalogue catalogue;
    Load(catalogue);
    FakeView view;

    UnrealMOD::RunitClick(catalogue, view);

    EXPECT_EQ(catalogue.marks, (Strings{"DM-A.unr:Errored", "Readme.txt:Errored",
                                        "Song.umx:Errored", "Boom.uax:YES"}));
    // The bar counts failed rows too, and the label shows the bar's value.
    EXPECT_EQ(view.Labels(), (Strings{"0 out of 4 Transfered", "4 out of 4 Transfered",
                                      "Complete!!! 2 kept in the cache"}));
    EXPECT_EQ(Read("Cache/K4.uxx"), "text");
    EXPECT_EQ(Read("Cache/K5.uxx"), "music");
    EXPECT_FALSE(Exists("Music"));
    EXPECT_FALSE(Exists("Unknown File"));
    // K1's file is gone, so its entry goes; the two failed copies keep theirs.
    EXPECT_EQ(Read("Cache/cache.ini"), "[Cache]\r\nK4=Readme.txt\r\nK5=Song.umx\r\n\r\n");
    EXPECT_TRUE(view.problems.empty());
}

TEST_F(TransferTest, UnknownFileFolderTakesOtherNamesWhenPresent) {
    Write("Cache/cache.ini", "[Cache]\r\nK4=Readme.txt\r\nK7=Big.UNR\r\n");
    Write("Cache/K4.uxx", "text");
    Write("Cache/K7.uxx", "map");
    std::filesystem::create_directory(Native("Unknown File"));
    MarkingCatalogue catalogue;
    Load(catalogue);
    FakeView view;
    UnrealMOD::RunitClick(catalogue, view);

    EXPECT_EQ(catalogue.marks, (Strings{"Readme.txt:YES", "Big.UNR:YES"}));
    EXPECT_EQ(Read("Unknown File/Readme.txt"), "text");
    EXPECT_EQ(Read("Unknown File/Big.UNR"), "map");
    EXPECT_EQ(Read("Cache/cache.ini"), "[Cache]\r\n\r\n");
}

// What is installed under the destination name decides: an installed file is never replaced.
// The cached package is a map of version 128 whose cache name is its GUID.
struct Installed {
    const char* name;
    std::function<void(TransferTest&, const std::string& package)> make; // of Maps/CTF-Face.unr
    UnrealMOD::Installed facts;
    bool cacheFileGoes;
    const char* mark;
    const char* reason;          // of the kept row
    UnrealMOD::EntryState state; // as the entries window and the command line tell it
    // Where "Install the cached version" puts the installed file, in the cache folder; nullptr
    // where the player is not offered the choice.
    const char* keptAs;
};

const testsupport::Guid PackageId{0x308EA24F, 0x79FEB145, 0xEE8651F3, 0xEB404B83};

const Installed DestinationStates[] = {
    {"Absent", [](TransferTest&, const std::string&) {}, UnrealMOD::Installed::Nothing, true, "YES",
     "", UnrealMOD::EntryState::WillMove, nullptr},
    {"SameBytesOtherLetterCase",
     [](TransferTest& t, const std::string& package) { t.Write("Maps/ctf-face.UNR", package); },
     UnrealMOD::Installed::SameBytes, true, "YES", "", UnrealMOD::EntryState::Identical, nullptr},
    {"SamePackageOtherBytes",
     [](TransferTest& t, const std::string&) {
         t.Write("Maps/CTF-Face.unr", testsupport::MakePackage(128, PackageId, 9000, 2));
     },
     UnrealMOD::Installed::SamePackage, false, "Errored",
     "the same package with other bytes is installed", UnrealMOD::EntryState::OtherVersion,
     "Replaced\\CTF-Face.unr.1"},
    {"StockMapOtherVersion",
     [](TransferTest& t, const std::string&) {
         t.Write("Maps/CTF-Face.unr", testsupport::MakePackage(68, {9, 9, 9, 9}, 9000, 1));
     },
     UnrealMOD::Installed::OtherVersion, false, "Errored", "another version is installed",
     UnrealMOD::EntryState::OtherVersion, "00000009000000090000000900000009.uxx"},
    {"NotAPackage",
     [](TransferTest& t, const std::string&) { t.Write("Maps/CTF-Face.unr", "not a package"); },
     UnrealMOD::Installed::OtherVersion, false, "Errored", "another version is installed",
     UnrealMOD::EntryState::OtherVersion, "Replaced\\CTF-Face.unr.1"},
    {"Folder",
     [](TransferTest& t, const std::string&) {
         std::filesystem::create_directories(t.Native("Maps/CTF-Face.unr/inside"));
     },
     UnrealMOD::Installed::NotAFile, false, "Errored", "a folder or link has its name",
     UnrealMOD::EntryState::Blocked, nullptr},
#ifndef _WIN32
    {"LinkToTheSameBytes",
     [](TransferTest& t, const std::string& package) {
         t.Write("elsewhere.unr", package);
         std::filesystem::create_symlink(t.Native("elsewhere.unr"), t.Native("Maps/CTF-Face.unr"));
     },
     UnrealMOD::Installed::NotAFile, false, "Errored", "a folder or link has its name",
     UnrealMOD::EntryState::Blocked, nullptr},
    {"Fifo",
     [](TransferTest& t, const std::string&) {
         ASSERT_EQ(::mkfifo(t.Native("Maps/CTF-Face.unr").c_str(), 0644), 0);
     },
     UnrealMOD::Installed::NotAFile, false, "Errored", "a folder or link has its name",
     UnrealMOD::EntryState::Blocked, nullptr},
    {"UnreadableFile",
     [](TransferTest& t, const std::string&) {
         if (::geteuid() == 0)
             GTEST_SKIP() << "root reads every file; run as a normal user to see this row";
         t.Write("Maps/CTF-Face.unr", std::string(9000, 'x'));
         t.SetMode("Maps/CTF-Face.unr", 0);
     },
     UnrealMOD::Installed::Unreadable, false, "Errored", "the installed file cannot be read",
     UnrealMOD::EntryState::Blocked, nullptr},
#endif
};

class DestinationStateTest : public TransferTest, public testing::WithParamInterface<Installed> {};

TEST_P(DestinationStateTest, InstalledFileIsNeverReplaced) {
    const Installed& state = GetParam();
    const std::string package = testsupport::MakePackage(128, PackageId, 9000, 1);
    const std::string cacheName = testsupport::GuidHex(PackageId);
    Write("Cache/cache.ini", "[Cache]\r\n" + cacheName + "=CTF-Face.unr\r\nK2=Pack.u\r\n");
    Write("Cache/" + cacheName + ".uxx", package);
    Write("Cache/K2.uxx", "code");
    state.make(*this, package);
    if (IsSkipped())
        return;
    const auto installedBefore = Snapshot();
    MarkingCatalogue catalogue;
    Load(catalogue);
    const UnrealMOD::EntryFacts facts = UnrealMOD::CatalogueFacts().Of(catalogue, 0);
    EXPECT_EQ(facts.installed, state.facts);
    EXPECT_TRUE(facts.cacheFileFound);
    EXPECT_EQ(facts.size, package.size());
    ASSERT_TRUE(facts.header);
    EXPECT_EQ(facts.header->guid.Hex(), cacheName);
    EXPECT_FALSE(facts.nameMismatch);
    const auto before = UnrealMOD::DescribeEntries(catalogue);
    ASSERT_EQ(before.size(), 2u);
    EXPECT_EQ(before[0].state, state.state);
    EXPECT_EQ(before[0].guid, cacheName);
    EXPECT_EQ(before[1].state, UnrealMOD::EntryState::StaysCode);

    FakeView view;
    UnrealMOD::RunitClick(catalogue, view);
    const auto after = UnrealMOD::DescribeEntries(catalogue, &UnrealMOD::LastRunReport(), &before);
    ASSERT_EQ(after.size(), 2u);
    EXPECT_EQ(after[0].state,
              state.cacheFileGoes ? UnrealMOD::EntryState::Moved : UnrealMOD::EntryState::Kept);
    EXPECT_EQ(after[0].fileName, "CTF-Face.unr");
    EXPECT_EQ(after[0].size, package.size()); // a moved row keeps what it was

    EXPECT_EQ(catalogue.marks,
              (Strings{"CTF-Face.unr:" + std::string(state.mark), "Pack.u:Skipped"}));
    EXPECT_EQ(Exists("Cache/" + cacheName + ".uxx"), !state.cacheFileGoes);
    const std::string listed = state.cacheFileGoes ? "" : cacheName + "=CTF-Face.unr\r\n";
    EXPECT_EQ(Read("Cache/cache.ini"), "[Cache]\r\n" + listed + "K2=Pack.u\r\n\r\n");
    ASSERT_EQ(UnrealMOD::LastRunReport().size(), 2u);
    EXPECT_EQ(UnrealMOD::LastRunReport()[0].reason, state.reason);
    EXPECT_EQ(view.label, state.cacheFileGoes ? "Complete!!!" : "Complete!!! 1 kept in the cache");
    // Whatever was installed is still there, byte for byte; only a moved package was added.
    if (state.facts == UnrealMOD::Installed::Nothing) {
        EXPECT_EQ(Read("Maps/CTF-Face.unr"), package);
    }
    auto afterRun = Snapshot();
    for (const auto& [path, bytes] : installedBefore) {
        if (std::filesystem::path(path).parent_path().filename() != "Cache") {
            EXPECT_EQ(afterRun[path], bytes) << path;
        }
    }
    if (!state.keptAs)
        return;
    // The player takes the cached version: both versions stay on disk, the installed one where
    // the game still finds it.
    const std::string installed = *Read("Maps/CTF-Face.unr");
    const UnrealMOD::ReplaceOutcome outcome = UnrealMOD::InstallCachedVersion(catalogue, 0);
    EXPECT_TRUE(outcome.installed) << outcome.problem;
    EXPECT_EQ(outcome.problem, "");
    EXPECT_EQ(outcome.keptAs, state.keptAs);
    EXPECT_EQ(Read("Maps/CTF-Face.unr"), package);
    std::string keptPath = state.keptAs;
    std::replace(keptPath.begin(), keptPath.end(), '\\', '/');
    EXPECT_EQ(Read("Cache/" + keptPath), installed);
    EXPECT_FALSE(Exists("Cache/" + cacheName + ".uxx"));
    const std::string keptGuid = std::string(state.keptAs).substr(0, 32);
    const std::string listedKept =
        keptPath.find('/') == std::string::npos ? keptGuid + "=CTF-Face.unr\r\n" : "";
    EXPECT_EQ(Read("Cache/cache.ini"), "[Cache]\r\nK2=Pack.u\r\n" + listedKept + "\r\n");
    EXPECT_EQ(catalogue.RowCount(), listedKept.empty() ? 1 : 2);
}

INSTANTIATE_TEST_SUITE_P(States, DestinationStateTest, testing::ValuesIn(DestinationStates),
                         [](const auto& info) { return std::string(info.param.name); });

// A destination folder that is renamed and replaced (by a link to the cache on POSIX, by another
// folder on Windows) while a run goes is not followed: POSIX goes on in the folder it holds,
// Windows keeps the rest in the cache; no cache file is touched.
TEST_F(TransferTest, FolderSwappedDuringTheRunIsNotFollowed) {
    Write("Cache/cache.ini", "[Cache]\r\nK1=DM-A.unr\r\nK2=DM-B.unr\r\nK3=DM-C.unr\r\n");
    Write("Cache/K1.uxx", "map a");
    Write("Cache/K2.uxx", "map b");
    Write("Cache/K3.uxx", "map c");
    MarkingCatalogue catalogue;
    Load(catalogue);
    bool swapped = false;
    UnrealMOD::SetDoEventsHandler([&] {
        if (swapped || !Exists("Maps/DM-A.unr"))
            return;
        swapped = true;
        std::filesystem::rename(Native("Maps"), Native("Maps-held"));
#ifdef _WIN32
        std::filesystem::create_directory(Native("Maps"));
#else
        std::filesystem::create_directory_symlink(Native("Cache"), Native("Maps"));
#endif
    });
    FakeView view;
    UnrealMOD::RunitClick(catalogue, view);
    UnrealMOD::SetDoEventsHandler(nullptr);

    ASSERT_TRUE(swapped);
#ifdef _WIN32
    EXPECT_EQ(catalogue.marks, (Strings{"DM-A.unr:YES", "DM-B.unr:Errored", "DM-C.unr:Errored"}));
    EXPECT_EQ(Names("Maps-held"), (Strings{"DM-A.unr"}));
    EXPECT_EQ(Names("Maps"), Strings{});
    EXPECT_EQ(Names("Cache"), (Strings{"K2.uxx", "K3.uxx", "cache.ini"}));
#else
    EXPECT_EQ(Names("Maps-held"), (Strings{"DM-A.unr", "DM-B.unr", "DM-C.unr"}));
    EXPECT_EQ(Read("Maps-held/DM-C.unr"), "map c");
    EXPECT_EQ(Names("Cache"), (Strings{"cache.ini"}));
#endif
}

// A package whose GUID is not its cache name, and a map that is not a package, still move; the
// disagreement is told with the entry.
TEST_F(TransferTest, DisagreeingCacheNamesAreToldAndStillMove) {
    const std::string other = testsupport::GuidHex({1, 2, 3, 4});
    Write("Cache/cache.ini", "[Cache]\r\n" + other + "=DM-A.unr\r\nK3=DM-B.unr\r\nK4=DM-C.unr\r\n");
    Write("Cache/" + other + ".uxx", testsupport::MakePackage(69, PackageId, 300));
    Write("Cache/K3.uxx", "a map that is not a package");
    Write("Cache/K4.uxx", testsupport::MakePackage(61, PackageId, 300));
    MarkingCatalogue catalogue;
    Load(catalogue);
    auto& facts = UnrealMOD::CatalogueFacts();
    EXPECT_TRUE(facts.Of(catalogue, 0).nameMismatch);
    EXPECT_TRUE(facts.Of(catalogue, 1).nameMismatch);
    EXPECT_FALSE(facts.Of(catalogue, 2).nameMismatch); // not 32 digits: nothing to disagree with
    EXPECT_EQ(facts.Of(catalogue, 2).header->fileVersion, 61);
    FakeView view;
    UnrealMOD::RunitClick(catalogue, view);
    EXPECT_EQ(catalogue.marks, (Strings{"DM-A.unr:YES", "DM-B.unr:YES", "DM-C.unr:YES"}));
    EXPECT_EQ(Names("Maps"), (Strings{"DM-A.unr", "DM-B.unr", "DM-C.unr"}));
}

TEST_F(TransferTest, ReadOnlyDestinationAndFolderInTheWayAreLeftAlone) {
#ifdef _WIN32
    GTEST_SKIP()
        << "POSIX only: on Windows the read-only attribute of a folder does not refuse new files";
#else
    Write("Cache/cache.ini", "[Cache]\r\nK1=DM-A.unr\r\nK3=Sky.utx\r\nK8=Cave.uax\r\n");
    Write("Cache/K1.uxx", "new map");
    Write("Cache/K3.uxx", "new sky");
    Write("Cache/K8.uxx", "new sound");
    Write("Maps/DM-A.unr", "old map");
    SetMode("Maps/DM-A.unr", 0444);
    std::filesystem::create_directories(Native("Textures/Sky.utx/inside"));
    SetMode("Sounds", 0555); // a read-only folder takes no new file
    MarkingCatalogue catalogue;
    Load(catalogue);
    FakeView view;
    UnrealMOD::RunitClick(catalogue, view);

    EXPECT_EQ(catalogue.marks,
              (Strings{"DM-A.unr:Errored", "Sky.utx:Errored", "Cave.uax:Errored"}));
    EXPECT_EQ(Read("Maps/DM-A.unr"), "old map");
    EXPECT_EQ(Names("Maps"), (Strings{"DM-A.unr"}));
    EXPECT_EQ(Names("Textures/Sky.utx"), (Strings{"inside"}));
    EXPECT_EQ(Names("Sounds"), Strings{});
    EXPECT_EQ(Names("Cache"), (Strings{"K1.uxx", "K3.uxx", "K8.uxx", "cache.ini"}));
    EXPECT_EQ(Read("Cache/cache.ini"),
              "[Cache]\r\nK1=DM-A.unr\r\nK3=Sky.utx\r\nK8=Cave.uax\r\n\r\n");
    // Only the folder that refused is named, with what to do about it.
    ASSERT_EQ(view.problems.size(), 1u);
    EXPECT_EQ(view.problems[0], UnrealMOD::RefusalMessage(Shown("Sounds"), 1));
    EXPECT_EQ(UnrealMOD::LastRunReport()[2].reason, "its folder may not be written");
#endif
}

TEST_F(TransferTest, CacheFileThatCannotBeDeletedStaysListed) {
    Write("Cache/cache.ini", "[Cache]\r\nK1=DM-A.unr\r\n");
    Write("Cache/K1.uxx", "map");
    SetMode("Cache/K1.uxx", 0444);
    MarkingCatalogue catalogue;
    Load(catalogue);
    FakeView view;
    UnrealMOD::RunitClick(catalogue, view);

    EXPECT_EQ(catalogue.marks, (Strings{"DM-A.unr:YES"}));
    EXPECT_EQ(Read("Maps/DM-A.unr"), "map");
    EXPECT_EQ(Read("Cache/K1.uxx"), "map");
    EXPECT_EQ(Read("Cache/cache.ini"), "[Cache]\r\nK1=DM-A.unr\r\n\r\n");
}

TEST_F(TransferTest, HostileNamesAreNeverFollowed) {
    // Decoys sit where each hostile name would lead.
    Write("System/Core.utx", "core");
    Write("Maps/victim.uxx", "victim");
    Write("Cache/Innocent.uxx", "innocent");
    std::filesystem::create_directories(Native("Cache/sub"));
    Write("Cache/sub/x.uxx", "nested");
    const std::string index = "[Cache]\r\n"
                              "K1=..\\..\\evil.unr\r\n"
                              "K1=../../evil.unr\r\n"
                              "K1=..\\System\\Core.utx\r\n"
                              "K1=C:evil.unr\r\n"
                              "K1=CON.unr\r\n"
                              "K1=trailing.unr.\r\n"
                              "K1=trailing.unr \r\n"
                              "K1=wild*.unr\r\n"
                              "K1=bell\x07.unr\r\n"
                              "..\\Maps\\victim=Safe1.unr\r\n"
                              "../Maps/victim=Safe2.unr\r\n"
                              "Inno*=Safe3.unr\r\n"
                              "sub\\x=Safe4.unr\r\n"
                              "NUL=Safe5.unr\r\n";
    Write("Cache/cache.ini", index);
    Write("Cache/K1.uxx", "payload");
    const auto before = Snapshot();
    MarkingCatalogue catalogue;
    Load(catalogue);
    ASSERT_EQ(catalogue.RowCount(), 14);
    FakeView view;

    UnrealMOD::RunitClick(catalogue, view);

    for (const std::string& mark : catalogue.marks) {
        EXPECT_TRUE(mark.ends_with(":Errored")) << mark;
    }
    EXPECT_EQ(catalogue.marks.size(), 14U);
    EXPECT_EQ(Snapshot(), before); // nothing written, nothing deleted, anywhere
    EXPECT_EQ(Read("Cache/cache.ini"), index + "\r\n");
}

TEST_F(TransferTest, WindowFaultStillGivesTheWindowBack) {
    WriteThree();
    MarkingCatalogue catalogue;
    Load(catalogue);
    FakeView view;
    view.onCall = [](const std::string& entry) {
        if (entry == "label:1 out of 2 Transfered") {
            throw std::runtime_error("window went away");
        }
    };

    UnrealMOD::RunitClick(catalogue, view);

    EXPECT_TRUE(view.enabled);
    EXPECT_FALSE(view.busy);
    EXPECT_EQ(view.label, "Complete!!!");
    ASSERT_EQ(view.problems.size(), 1U);
    // The walk stopped after K1's move: K3 is still in the cache and stays listed.
    EXPECT_EQ(Read("Maps/DM-A.unr"), "map bytes \x01\x02\r\n");
    EXPECT_EQ(Names("Cache"), (Strings{"K2.uxx", "K3.uxx", "cache.ini"}));
    EXPECT_EQ(Read("Cache/cache.ini"), "[Cache]\r\nK2=Pack.u\r\nK3=Sky.utx\r\n\r\n");
}

TEST_F(TransferTest, IndexThatCannotBeReadAgainIsNotRewritten) {
    WriteThree();
    // The closing read fails, leaving an empty catalogue: a rewrite from it would drop K2.
    class FailingSecondAppend : public MarkingCatalogue {
    public:
        void AppendRows(const std::vector<CatalogueRow>& more) override {
            if (++appends == 2) {
                throw std::bad_alloc();
            }
            MarkingCatalogue::AppendRows(more);
        }
        int appends = 0;
    } catalogue;
    Load(catalogue);
    FakeView view;

    UnrealMOD::RunitClick(catalogue, view);

    EXPECT_EQ(catalogue.RowCount(), 0);
    EXPECT_EQ(Read("Cache/cache.ini"), ThreeEntries);
    ASSERT_EQ(view.problems.size(), 1U);
    EXPECT_NE(view.problems[0].find(Shown("Cache/cache.ini")), std::string::npos);
    EXPECT_TRUE(view.enabled);
    EXPECT_FALSE(view.busy);
}

// The index went during the run: the message says so instead of claiming it was left alone.
TEST_F(TransferTest, IndexGoneBeforeTheClosingReadIsReportedAsGone) {
    WriteThree();
    MarkingCatalogue catalogue;
    Load(catalogue);
    FakeView view;
    view.onCall = [this](const std::string& entry) {
        if (entry == "label:Complete!!!")
            std::filesystem::remove(Native("Cache/cache.ini"));
    };

    UnrealMOD::RunitClick(catalogue, view);

    ASSERT_EQ(view.problems.size(), 1U);
    EXPECT_NE(view.problems[0].find("no longer there"), std::string::npos) << view.problems[0];
    EXPECT_EQ(view.problems[0].find("left as it was"), std::string::npos) << view.problems[0];
    EXPECT_FALSE(Exists("Cache/cache.ini"));
}

// The entries window's "Move checked": only the chosen rows move and are marked; the others stay
// in the cache and in the index, unchanged, and the bar counts the chosen rows.
TEST_F(TransferTest, ChosenRowsAloneMove) {
    WriteThree();
    Write("Cache/cache.ini", ThreeEntries + "K4=DM-B.unr\r\n");
    Write("Cache/K4.uxx", "second map");
    MarkingCatalogue catalogue;
    Load(catalogue);
    const UnrealMOD::RowChoice chosen = {true, true, false, true};
    EXPECT_EQ(UnrealMOD::ChosenTotal(catalogue, chosen), 2);
    FakeView view;

    UnrealMOD::RunitClick(catalogue, view, &chosen);

    EXPECT_EQ(catalogue.marks, (Strings{"DM-A.unr:YES", "Pack.u:Skipped", "DM-B.unr:YES"}));
    EXPECT_EQ(view.Labels().front(), "0 out of 2 Transfered");
    EXPECT_EQ(Read("Maps/DM-A.unr"), "map bytes \x01\x02\r\n");
    EXPECT_EQ(Read("Maps/DM-B.unr"), "second map");
    EXPECT_EQ(Read("Cache/K3.uxx"), std::string(70000, 't'));
    EXPECT_FALSE(Exists("Textures/Sky.utx"));
    EXPECT_EQ(Read("Cache/cache.ini"), "[Cache]\r\nK2=Pack.u\r\nK3=Sky.utx\r\n\r\n");
    EXPECT_EQ(UnrealMOD::LastRunReport().size(), 3u);
    const auto entries = UnrealMOD::DescribeEntries(catalogue, &UnrealMOD::LastRunReport());
    std::vector<std::string> states;
    for (const auto& entry : entries)
        states.push_back(entry.fileName + ":" + UnrealMOD::StateWord(entry.state));
    EXPECT_EQ(states, (Strings{"DM-A.unr:moved", "Pack.u:code", "Sky.utx:move", "DM-B.unr:moved"}));
}

// A click that the events processed during a run deliver starts no run inside the run.
TEST_F(TransferTest, ClickDuringARunStartsNoSecondRun) {
    WriteThree();
    MarkingCatalogue catalogue;
    Load(catalogue);
    FakeView view, second;
    UnrealMOD::SetDoEventsHandler([&] { UnrealMOD::RunitClick(catalogue, second); });

    UnrealMOD::RunitClick(catalogue, view);

    EXPECT_TRUE(second.log.empty());
    EXPECT_EQ(view.Labels(), (Strings{"0 out of 2 Transfered", "1 out of 2 Transfered",
                                      "2 out of 2 Transfered", "Complete!!!"}));
    EXPECT_EQ(Read("Cache/cache.ini"), "[Cache]\r\nK2=Pack.u\r\n\r\n");
}

TEST_F(TransferTest, TotalIsTheCountBoxText) {
    // The bar's maximum is the box's text read as a number; text that is no number gives 0.
    const std::pair<const char*, float> table[] = {
        {"12", 12.0F}, {" 7 files", 7.0F}, {"Error", 0.0F}, {"", 0.0F}, {"2.5", 2.5F}};
    for (const auto& [text, number] : table) {
        UnrealMOD::MemoryCatalogue catalogue;
        catalogue.onesToTransfer = text;
        FakeView view;
        UnrealMOD::RunTransfer(catalogue, view);
        EXPECT_FLOAT_EQ(view.max, number) << text;
        EXPECT_EQ(view.log.at(4).substr(0, 4), "max:");
        EXPECT_EQ(view.log.at(1), std::string("label:0 out of ") + text + " Transfered");
    }
}

} // namespace
