// Transfers under the faults a player's machine produces, each on real file systems, each checked
// against the one promise (Invariant.h). Full disks are small tmpfs mounts in a mount namespace of
// the test's own; a file that changes or vanishes mid-run is changed or removed on disk through
// the catalogue the run reads, just before the run reaches its row.

#include "GameFolderFixture.h"
#include "Invariant.h"

#include "catalogue/CacheIndex.h"
#include "runtime/DoEvents.h"
#include "support/NamedCase.h"
#include "transfer/Transfer.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Distinct content per file, so that a file copied to the wrong place shows.
std::string Bytes(const std::string& seed, std::size_t size) {
    std::string bytes;
    bytes.reserve(size);
    std::uint32_t x = 2166136261U;
    for (const char c : seed)
        x = (x ^ static_cast<unsigned char>(c)) * 16777619U;
    while (bytes.size() < size) {
        x = x * 1103515245U + 12345U;
        bytes.push_back(static_cast<char>(x >> 24));
    }
    return bytes;
}

// Calls a hook the first time the run reads row `row`: the moment just before its copy.
class HookedCatalogue : public lodestow_test::MarkingCatalogue {
public:
    UnrealMOD::CatalogueRow Row(int r) const override {
        if (hook && r == row) {
            auto once = std::move(hook);
            hook = nullptr;
            once();
        }
        return MarkingCatalogue::Row(r);
    }
    // The closing read's append, once armed: the moment between that read and the rewrite.
    void AppendRows(const std::vector<UnrealMOD::CatalogueRow>& rows) override {
        MarkingCatalogue::AppendRows(rows);
        if (appendHook) {
            auto once = std::move(appendHook);
            appendHook = nullptr;
            once();
        }
    }
    int row = -1;
    mutable std::function<void()> hook;
    std::function<void()> appendHook;
};

class ReliabilityTest;

struct FaultCase {
    const char* name{};
    // Before the files: tmpfs mounts (the case then runs in a mount namespace of its own).
    std::function<void(ReliabilityTest&)> mount{};
    std::string index{};
    std::vector<std::pair<std::string, std::string>> files{}; // relative native path, bytes
    // After the files, before the snapshot: permissions, folders.
    std::function<void(ReliabilityTest&)> setup{};
    // After the snapshot: hooks that change the disk while the run goes.
    std::function<void(ReliabilityTest&, reliability::Before&, HookedCatalogue&)> arm{};
    std::vector<std::string> marks{}; // "real name:state", each must be among the run's marks
    bool problem = false; // the user is told (the index not rewritten, a folder that refused)
    std::function<void(ReliabilityTest&)> extra{};
    const char* posixOnly = nullptr; // why the case holds on POSIX only (skipped on Windows)
};

void PrintTo(const FaultCase& c, std::ostream* out) {
    *out << c.name;
}

class ReliabilityTest : public lodestow_test::GameFolderTest,
                        public testing::WithParamInterface<FaultCase> {
public:
    using GameFolderTest::Exists;
    using GameFolderTest::Load;
    using GameFolderTest::Names;
    using GameFolderTest::Native;
    using GameFolderTest::Read;
    using GameFolderTest::SetMode;
    using GameFolderTest::Write;
    void Mount(const std::string& relative, std::size_t bytes) {
        testsupport::MountTmpfs(Native(relative), bytes);
    }
    const std::string& Root() const { return root_; }
    const std::string& Game() const { return game_; }

    void RunCase(const FaultCase& c) {
        if (c.mount)
            c.mount(*this);
        Write("Cache/cache.ini", c.index);
        for (const auto& [path, bytes] : c.files) {
            fs::create_directories(fs::path(Native(path)).parent_path());
            Write(path, bytes);
        }
        if (c.setup)
            c.setup(*this);
        reliability::Before before = reliability::Before::Take(root_);
        ASSERT_FALSE(before.entries.empty());

        HookedCatalogue catalogue;
        Load(catalogue);
        lodestow_test::FakeView view;
        if (c.arm)
            c.arm(*this, before, catalogue);

        UnrealMOD::RunitClick(catalogue, view);

        std::vector<std::string> states;
        for (const std::string& mark : catalogue.marks)
            states.push_back(mark.substr(mark.rfind(':') + 1));
        for (const std::string& problem : reliability::Violations(before, &states))
            ADD_FAILURE() << problem;
        for (const std::string& mark : c.marks)
            EXPECT_NE(std::find(catalogue.marks.begin(), catalogue.marks.end(), mark),
                      catalogue.marks.end())
                << "no mark " << mark;
        EXPECT_EQ(view.problems.size(), c.problem ? 1U : 0U);
        EXPECT_TRUE(view.enabled);
        EXPECT_FALSE(view.busy);
        if (c.extra)
            c.extra(*this);
    }
};

TEST_P(ReliabilityTest, PromiseHolds) {
    const FaultCase& c = GetParam();
#ifdef _WIN32
    if (c.posixOnly)
        GTEST_SKIP() << "POSIX only: " << c.posixOnly;
#endif
    if (c.mount)
        testsupport::InOwnMountNamespace([&] { RunCase(c); });
    else
        RunCase(c);
}

const std::string Three = "[Cache]\r\nK1=DM-A.unr\r\nK2=Pack.u\r\nK3=Sky.utx\r\n";

std::vector<std::pair<std::string, std::string>> ThreeFiles() {
    return {{"Cache/K1.uxx", Bytes("K1", 3000)},
            {"Cache/K2.uxx", Bytes("K2", 100)},
            {"Cache/K3.uxx", Bytes("K3", 5000)}};
}

std::string Long(const std::string& unit, std::size_t count) {
    std::string s;
    for (std::size_t i = 0; i < count; ++i)
        s += unit;
    return s;
}

// The hostile set: each name has a cache file, so that a program that followed it would act.
std::pair<std::string, std::vector<std::pair<std::string, std::string>>> HostileIndex() {
    const std::vector<std::string> realNames = {"..\\..\\evil.unr",
                                                "../evil.unr",
                                                "Maps\\..\\..\\evil.unr",
                                                "\\evil.unr",
                                                "C:evil.unr",
                                                "C:\\evil.unr",
                                                "Z:\\tmp\\evil.unr",
                                                "*.unr",
                                                "DM-?.unr",
                                                "a\x01"
                                                "b.unr",
                                                "tab\there.unr",
                                                "CON.unr",
                                                "nul",
                                                "LPT1.utx",
                                                "com9.uax",
                                                "..",
                                                ".",
                                                "evil<1>.unr",
                                                "pipe|.unr",
                                                "quote\".unr",
                                                "Aux .umx"};
    std::string index = "[Cache]\r\n";
    std::vector<std::pair<std::string, std::string>> files;
    for (std::size_t i = 0; i < realNames.size(); ++i) {
        const std::string cache = "H" + std::to_string(i);
        index += cache + "=" + realNames[i] + "\r\n";
        files.push_back({"Cache/" + cache + ".uxx", Bytes(cache, 200)});
    }
    // Cache names that lead out of the cache, at files that are there.
    index += "..\\System\\Victim=Steal.unr\r\n";
    files.push_back({"System/Victim.uxx", Bytes("victim", 300)});
    index += "..\\..\\Outside=Steal2.unr\r\n";
    files.push_back({"../Outside.uxx", Bytes("outside", 300)});
    index += "*=Star.unr\r\n";
    index += "NUL=Device.unr\r\n";
    files.push_back({"Cache/NUL.uxx", Bytes("nul", 300)});
    // And one ordinary entry, which goes.
    index += "Fine=Fine.unr\r\n";
    files.push_back({"Cache/Fine.uxx", Bytes("fine", 300)});
    return {index, files};
}

std::vector<FaultCase> Cases() {
    std::vector<FaultCase> cases;
    auto add = [&](FaultCase c) { cases.push_back(std::move(c)); };
    using R = ReliabilityTest;

    add({.name = "FullDiskDuringCopyNewDestination",
         .mount = [](R& t) { t.Mount("Maps", 64 * 1024); },
         .index = "[Cache]\r\nK1=DM-Big.unr\r\nK2=DM-Small.unr\r\nK3=Sky.utx\r\n",
         .files = {{"Cache/K1.uxx", Bytes("K1", 1 << 20)},
                   {"Cache/K2.uxx", Bytes("K2", 2000)},
                   {"Cache/K3.uxx", Bytes("K3", 2000)}},
         .marks = {"DM-Big.unr:Errored", "DM-Small.unr:YES", "Sky.utx:YES"}});
    add({.name = "FullDiskDuringCopyOverExistingDestination",
         .mount = [](R& t) { t.Mount("Maps", 64 * 1024); },
         .index = "[Cache]\r\nK1=DM-Big.unr\r\n",
         .files = {{"Cache/K1.uxx", Bytes("K1", 1 << 20)}, {"Maps/DM-Big.unr", Bytes("old", 9000)}},
         .marks = {"DM-Big.unr:Errored"},
         .extra = [](R& t) { EXPECT_EQ(t.Read("Maps/DM-Big.unr"), Bytes("old", 9000)); }});
    // The new file needs room beside the old one until it takes its place.
    add({.name = "FullDiskWhenOldAndNewDoNotFitTogether",
         .mount = [](R& t) { t.Mount("Maps", 64 * 1024); },
         .index = "[Cache]\r\nK1=DM-A.unr\r\n",
         .files = {{"Cache/K1.uxx", Bytes("K1", 36 * 1024)},
                   {"Maps/DM-A.unr", Bytes("old", 36 * 1024)}},
         .marks = {"DM-A.unr:Errored"}});
    add({.name = "FullDiskDuringRewrite",
         .mount = [](R& t) { t.Mount("Cache", 64 * 1024); },
         .index =
             [] {
                 std::string index = "[Cache]\r\nK1=DM-A.unr\r\n";
                 for (int i = 0; i < 1400; ++i)
                     index += "S" + std::to_string(i) + "=SomeCodePackage" + std::to_string(i) +
                              ".u\r\n";
                 return index;
             }(),
         .files = {{"Cache/K1.uxx", Bytes("K1", 1000)}},
         .marks = {"DM-A.unr:YES", "SomeCodePackage0.u:Skipped"},
         .problem = true});
    add({.name = "ReadOnlyDestinationFile",
         .index = Three,
         .files =
             [] {
                 auto f = ThreeFiles();
                 f.push_back({"Maps/DM-A.unr", "old map"});
                 return f;
             }(),
         .setup = [](R& t) { t.SetMode("Maps/DM-A.unr", 0444); },
         .marks = {"DM-A.unr:Errored", "Pack.u:Skipped", "Sky.utx:YES"}});
    add({.name = "ReadOnlyDestinationFolder",
         .index = Three,
         .files = ThreeFiles(),
         .setup = [](R& t) { t.SetMode("Maps", 0555); },
         .marks = {"DM-A.unr:Errored", "Sky.utx:YES"},
         .problem = true, // the folder that refused is named
         .posixOnly = "on Windows the read-only attribute of a folder does not refuse new files or "
                      "deletions"});
    // The copies succeed but no cache file can be deleted and no new index written there.
    add({.name = "ReadOnlyCacheFolder",
         .index = Three,
         .files = ThreeFiles(),
         .setup = [](R& t) { t.SetMode("Cache", 0555); },
         .marks = {"DM-A.unr:YES", "Sky.utx:YES"},
         .problem = true,
         .posixOnly = "on Windows the read-only attribute of a folder does not refuse new files or "
                      "deletions"});
    add({.name = "ReadOnlyCacheIndex",
         .index = Three,
         .files = ThreeFiles(),
         .setup = [](R& t) { t.SetMode("Cache/cache.ini", 0444); },
         .marks = {"DM-A.unr:YES", "Sky.utx:YES"},
         .problem = true,
         .extra = [](R& t) { EXPECT_EQ(t.Read("Cache/cache.ini"), Three); }});
    add({.name = "DestinationFolderMissing",
         .index = "[Cache]\r\nK1=Song.umx\r\nK3=Sky.utx\r\n",
         .files = {{"Cache/K1.uxx", Bytes("K1", 100)}, {"Cache/K3.uxx", Bytes("K3", 100)}},
         .setup = [](R& t) { fs::remove(t.Native("Music")); },
         .marks = {"Song.umx:Errored", "Sky.utx:YES"},
         .extra = [](R& t) { EXPECT_FALSE(t.Exists("Music")); }});
    add({.name = "FolderWhereTheDestinationFileShouldBe",
         .index = Three,
         .files = ThreeFiles(),
         .setup = [](R& t) { fs::create_directory(t.Native("Maps/DM-A.unr")); },
         .marks = {"DM-A.unr:Errored", "Sky.utx:YES"}});
    add({.name = "UnknownFileFolderPresent",
         .index = "[Cache]\r\nK1=Readme.txt\r\nK2=DM-X.UNR\r\n",
         .files = {{"Cache/K1.uxx", Bytes("K1", 100)}, {"Cache/K2.uxx", Bytes("K2", 100)}},
         .setup = [](R& t) { fs::create_directory(t.Native("Unknown File")); },
         .marks = {"Readme.txt:YES", "DM-X.UNR:YES"}});
    add({.name = "UnknownFileFolderAbsent",
         .index = "[Cache]\r\nK1=Readme.txt\r\nK2=DM-X.UNR\r\n",
         .files = {{"Cache/K1.uxx", Bytes("K1", 100)}, {"Cache/K2.uxx", Bytes("K2", 100)}},
         .marks = {"Readme.txt:Errored", "DM-X.UNR:Errored"}});
    add({.name = "CacheFileVanishesBeforeItsCopy",
         .index = Three,
         .files = ThreeFiles(),
         .arm =
             [](R& t, reliability::Before& b, HookedCatalogue& c) {
                 c.row = 2;
                 c.hook = [&t, &b] { b.RemoveFile(t.Native("Cache/K3.uxx")); };
             },
         .marks = {"DM-A.unr:YES", "Sky.utx:Errored"}});
    add({.name = "CacheFileVanishesBeforeTheRun",
         .index = Three,
         .files = ThreeFiles(),
         .arm =
             [](R& t, reliability::Before& b, HookedCatalogue&) {
                 UnrealMOD::SetDoEventsHandler([&t, &b, done = false]() mutable {
                     if (!done)
                         b.RemoveFile(t.Native("Cache/K1.uxx"));
                     done = true;
                 });
             },
         .marks = {"DM-A.unr:Errored", "Sky.utx:YES"}});
    add({.name = "CacheFileChangesBeforeItsCopy",
         .index = Three,
         .files = ThreeFiles(),
         .arm =
             [](R& t, reliability::Before& b, HookedCatalogue& c) {
                 c.row = 2;
                 c.hook = [&t, &b] { b.WriteFile(t.Native("Cache/K3.uxx"), Bytes("new", 77777)); };
             },
         .marks = {"DM-A.unr:YES", "Sky.utx:YES"},
         .extra = [](R& t) { EXPECT_EQ(t.Read("Textures/Sky.utx"), Bytes("new", 77777)); }});
    add({.name = "CacheFileBecomesAFolderBeforeItsCopy",
         .index = Three,
         .files = ThreeFiles(),
         .arm =
             [](R& t, reliability::Before& b, HookedCatalogue& c) {
                 c.row = 2;
                 c.hook = [&t, &b] {
                     b.RemoveFile(t.Native("Cache/K3.uxx"));
                     fs::create_directory(t.Native("Cache/K3.uxx"));
                     b.tree[reliability::TreeKey(t.Native("Cache/K3.uxx"))] = {
                         reliability::Node::Kind::Folder, ""};
                 };
             },
         .marks = {"DM-A.unr:YES", "Sky.utx:Errored"}});
    add({.name = "CacheOnDiskDestinationsOnTmpfs",
         .mount =
             [](R& t) {
                 t.Mount("Maps", 16 << 20);
                 t.Mount("Textures", 16 << 20);
             },
         .index = Three + "K4=DM-Old.unr\r\n",
         .files =
             [] {
                 auto f = ThreeFiles();
                 f.push_back({"Cache/K4.uxx", Bytes("K4", 3 << 20)});
                 f.push_back({"Maps/DM-Old.unr", Bytes("K4", 3 << 20)}); // a duplicate
                 return f;
             }(),
         .setup =
             [](R& t) {
                 const std::string cache = t.Native("Cache"), maps = t.Native("Maps");
                 struct stat a {
                 }, b{};
                 ASSERT_EQ(stat(cache.c_str(), &a), 0);
                 ASSERT_EQ(stat(maps.c_str(), &b), 0);
                 ASSERT_NE(a.st_dev, b.st_dev);
             },
         .marks = {"DM-A.unr:YES", "Sky.utx:YES", "DM-Old.unr:YES"}});
    add({.name = "CacheAndDestinationsOnOneTmpfs",
         .mount =
             [](R& t) {
                 testsupport::MountTmpfs(t.Game(), 32 << 20);
                 for (const char* f : {"Cache", "Maps", "Textures", "Sounds", "Music", "System"})
                     fs::create_directory(t.Native(f));
             },
         .index = Three + "K4=DM-Old.unr\r\n",
         .files =
             [] {
                 auto f = ThreeFiles();
                 f.push_back({"Cache/K4.uxx", Bytes("K4", 3 << 20)});
                 return f;
             }(),
         .marks = {"DM-A.unr:YES", "Sky.utx:YES", "DM-Old.unr:YES"}});
    // exFAT through FUSE, as players use for games on external drives: no no-replace rename, no
    // hard links, no unnamed files. A duplicate across file systems and another version on the
    // same drive.
    add({.name = "MapsOnExfatThroughFuse",
         .mount = [](R& t) { testsupport::MountExfat(t.Native("Maps"), 32 << 20); },
         .index = Three + "K4=DM-Old.unr\r\nK5=DM-Dup.unr\r\n",
         .files =
             [] {
                 auto f = ThreeFiles();
                 f.push_back({"Cache/K4.uxx", Bytes("K4", 3 << 20)});
                 f.push_back({"Cache/K5.uxx", Bytes("K5", 5000)});
                 f.push_back({"Maps/DM-Dup.unr", Bytes("K5", 5000)});
                 return f;
             }(),
         .marks = {"DM-A.unr:YES", "Sky.utx:YES", "DM-Old.unr:YES", "DM-Dup.unr:YES"},
         .extra =
             [](R& t) {
                 EXPECT_EQ(t.Read("Maps/DM-Old.unr"), Bytes("K4", 3 << 20));
                 EXPECT_EQ(t.Names("Cache"), (std::vector<std::string>{"K2.uxx", "cache.ini"}));
             }});
    add({.name = "CacheAndDestinationsOnOneExfatThroughFuse",
         .mount =
             [](R& t) {
                 testsupport::MountExfat(t.Game(), 32 << 20);
                 for (const char* f : {"Cache", "Maps", "Textures", "Sounds", "Music", "System"})
                     fs::create_directory(t.Native(f));
             },
         .index = Three + "K4=DM-Old.unr\r\n",
         .files =
             [] {
                 auto f = ThreeFiles();
                 f.push_back({"Cache/K4.uxx", Bytes("K4", 3000)});
                 f.push_back({"Maps/DM-Old.unr", "another version"});
                 return f;
             }(),
         .marks = {"DM-A.unr:YES", "Sky.utx:YES", "DM-Old.unr:Errored"},
         .extra =
             [](R& t) {
                 EXPECT_EQ(t.Read("Maps/DM-A.unr"), Bytes("K1", 3000));
                 EXPECT_EQ(t.Read("Maps/DM-Old.unr"), "another version");
             }});
    add({.name = "CacheAndDestinationsOnTheSameDisk",
         .index = Three,
         .files =
             [] {
                 auto f = ThreeFiles();
                 f.push_back({"Maps/DM-A.unr", "old"}); // another version: it stays
                 return f;
             }(),
         .marks = {"DM-A.unr:Errored", "Pack.u:Skipped", "Sky.utx:YES"}});
    // Windows-1252 in the index, UTF-8 on disk.
    add({.name = "Windows1252RealNames",
         .index = "[Cache]\r\nK1=Caf\xE9.unr\r\nK2=\x80uro-Sky.utx\r\nK3=Na\xEFve\x99.uax\r\n",
         .files = {{"Cache/K1.uxx", Bytes("K1", 100)},
                   {"Cache/K2.uxx", Bytes("K2", 100)},
                   {"Cache/K3.uxx", Bytes("K3", 100)}},
         .marks = {"Caf\xC3\xA9.unr:YES", "\xE2\x82\xACuro-Sky.utx:YES",
                   "Na\xC3\xAFve\xE2\x84\xA2.uax:YES"},
         .extra = [](R& t) {
             EXPECT_EQ(t.Read("Maps/Caf\xC3\xA9.unr"), Bytes("K1", 100));
             EXPECT_EQ(t.Read("Textures/\xE2\x82\xAC"
                              "uro-Sky.utx"),
                       Bytes("K2", 100));
             EXPECT_EQ(t.Read("Sounds/Na\xC3\xAFve\xE2\x84\xA2.uax"), Bytes("K3", 100));
             // Written back in the code page it was read in.
             EXPECT_EQ(t.Read("Cache/cache.ini"), "[Cache]\r\n\r\n");
         }});
    add({.name = "NameDiffersOnlyInCaseFromAnExistingDestination",
         .index = "[Cache]\r\nK1=DM-A.unr\r\nK2=caf\xE9.utx\r\n",
         .files = {{"Cache/K1.uxx", Bytes("K1", 100)},
                   {"Cache/K2.uxx", Bytes("K2", 100)},
                   {"Maps/dm-a.UNR", "old"},
                   {"Textures/CAF\xC3\x89.UTX", Bytes("K2", 100)}},
         .marks = {"DM-A.unr:Errored", "caf\xC3\xA9.utx:YES"},
         .extra =
             [](R& t) {
                 // Another version stays beside its cached copy; a duplicate lets its copy go.
                 EXPECT_EQ(t.Names("Maps"), std::vector<std::string>{"dm-a.UNR"});
                 EXPECT_EQ(t.Read("Maps/dm-a.UNR"), "old");
                 EXPECT_EQ(t.Names("Textures"), std::vector<std::string>{"CAF\xC3\x89.UTX"});
                 EXPECT_EQ(t.Names("Cache"), (std::vector<std::string>{"K1.uxx", "cache.ini"}));
             },
         .posixOnly = "on Windows two names that differ in letter case are one file, so the case "
                      "cannot be set up"});
    add({.name = "TrailingDotsAndSpaces",
         .index = "[Cache]\r\nK1=Map.unr.\r\nK2=Map.unr \r\nK3=Tex .utx\r\nK4= Lead.utx\r\nK5 "
                  "=Snd.uax\r\n"
                  "K6.=Snd2.uax\r\n",
         .files = {{"Cache/K1.uxx", Bytes("K1", 100)},
                   {"Cache/K2.uxx", Bytes("K2", 100)},
                   {"Cache/K3.uxx", Bytes("K3", 100)},
                   {"Cache/K4.uxx", Bytes("K4", 100)},
                   {"Cache/K5 .uxx", Bytes("K5", 100)},
                   {"Cache/K6..uxx", Bytes("K6", 100)}},
         .setup = [](R& t) { fs::create_directory(t.Native("Unknown File")); },
         .marks = {"Map.unr.:Errored", "Map.unr :Errored", "Tex .utx:YES", " Lead.utx:YES",
                   "Snd.uax:Errored", "Snd2.uax:Errored"}});
    add({.name = "VeryLongNames",
         .index = "[Cache]\r\nK1=" + Long("a", 250) + ".unr\r\nK2=" + Long("b", 300) +
                  ".unr\r\nK3=" + Long("\xE9", 120) + ".utx\r\nK4=" + Long("c", 251) + ".unr\r\n" +
                  "K5=" + Long("\xE9", 126) + ".utx\r\n" + Long("k", 300) + "=Short.unr\r\n",
         .files = {{"Cache/K1.uxx", Bytes("K1", 100)},
                   {"Cache/K2.uxx", Bytes("K2", 100)},
                   {"Cache/K3.uxx", Bytes("K3", 100)},
                   {"Cache/K4.uxx", Bytes("K4", 100)},
                   {"Cache/K5.uxx", Bytes("K5", 100)},
                   {"Maps/" + Long("c", 251) + ".unr", "old"}},
         .marks = {Long("a", 250) + ".unr:YES", Long("b", 300) + ".unr:Errored",
                   Long("\xC3\xA9", 120) + ".utx:YES", Long("c", 251) + ".unr:Errored",
                   Long("\xC3\xA9", 126) + ".utx:Errored", "Short.unr:Errored"}});
    // Two entries of one run that land on one destination file: the second stays.
    add({.name = "SameRealNameTwice",
         .index = "[Cache]\r\nK1=DM-A.unr\r\nK2=DM-A.unr\r\n",
         .files = {{"Cache/K1.uxx", Bytes("K1", 100)}, {"Cache/K2.uxx", Bytes("K2", 200)}},
         .marks = {"DM-A.unr:YES", "DM-A.unr:Errored"}});
    add({.name = "RealNamesDifferingOnlyInCase",
         .index = "[Cache]\r\nK1=DM-A.unr\r\nK2=dm-a.unr\r\nK3=Caf\xE9.utx\r\nK4=CAF\xC9.utx\r\n",
         .files = {{"Cache/K1.uxx", Bytes("K1", 100)},
                   {"Cache/K2.uxx", Bytes("K2", 200)},
                   {"Cache/K3.uxx", Bytes("K3", 100)},
                   {"Cache/K4.uxx", Bytes("K4", 200)}},
         .marks = {"DM-A.unr:YES", "dm-a.unr:Errored", "Caf\xC3\xA9.utx:YES",
                   "CAF\xC3\x89.utx:Errored"}});
    // Letter case beyond Latin, by the file system's rule: accented Greek is one name in either
    // case; the player's capital dotted I is not a plain i.
    add({.name = "RealNamesDifferingOnlyInCaseBeyondLatin",
         .index = "\xEF\xBB\xBF[Cache]\r\nK1=DM-\xCE\x86\xCE\xBB\xCF\x86\xCE\xB1.unr\r\n"
                  "K2=DM-\xCE\xAC\xCE\xBB\xCF\x86\xCE\xB1.unr\r\nK3=CTF-izmir.unr\r\n",
         .files = {{"Cache/K1.uxx", Bytes("K1", 100)},
                   {"Cache/K2.uxx", Bytes("K2", 200)},
                   {"Cache/K3.uxx", Bytes("K3", 100)},
                   {"Maps/CTF-\xC4\xB0zmir.unr", "player's"}},
         .marks = {"DM-\xCE\x86\xCE\xBB\xCF\x86\xCE\xB1.unr:YES",
                   "DM-\xCE\xAC\xCE\xBB\xCF\x86\xCE\xB1.unr:Errored", "CTF-izmir.unr:YES"},
         .extra = [](R& t) {
             EXPECT_EQ(t.Read("Maps/DM-\xCE\x86\xCE\xBB\xCF\x86\xCE\xB1.unr"), Bytes("K1", 100));
             EXPECT_EQ(t.Read("Cache/K2.uxx"), Bytes("K2", 200));
             EXPECT_EQ(t.Read("Maps/CTF-\xC4\xB0zmir.unr"), "player's");
             EXPECT_EQ(t.Read("Maps/CTF-izmir.unr"), Bytes("K3", 100));
             EXPECT_EQ(t.Names("Maps").size(), 3U);
         }});
    // UTF-8 without a mark: read as UTF-8, written back so.
    add({.name = "UnmarkedUtf8Index",
         .index = "[Cache]\r\nK1=DM-D\xC3\xA9j\xC3\xA0Vu.unr\r\nK2=\xC3\x9C"
                  "ber.u\r\n",
         .files = {{"Cache/K1.uxx", Bytes("K1", 100)}, {"Cache/K2.uxx", Bytes("K2", 100)}},
         .marks = {"DM-D\xC3\xA9j\xC3\xA0Vu.unr:YES"},
         .extra = [](R& t) {
             EXPECT_EQ(t.Read("Maps/DM-D\xC3\xA9j\xC3\xA0Vu.unr"), Bytes("K1", 100));
             EXPECT_EQ(t.Read("Cache/cache.ini"), "[Cache]\r\nK2=\xC3\x9C"
                                                  "ber.u\r\n\r\n");
         }});
    // One cache file named by several entries belongs to none of them alone.
    add({.name = "OneCacheFileForTwoEntries",
         .index = "[Cache]\r\nK1=DM-A.unr\r\nK1=DM-B.unr\r\nK2=Sky.utx\r\n",
         .files = {{"Cache/K1.uxx", Bytes("K1", 100)}, {"Cache/K2.uxx", Bytes("K2", 100)}},
         .marks = {"DM-A.unr:Errored", "DM-B.unr:Errored", "Sky.utx:YES"}});
    add({.name = "CacheNamesDifferingOnlyInCase",
         .index = "[Cache]\r\nK1=DM-A.unr\r\nk1=DM-B.unr\r\n",
         .files = {{"Cache/K1.uxx", Bytes("K1", 100)}, {"Cache/k1.uxx", Bytes("k1", 100)}},
         .marks = {"DM-A.unr:Errored", "DM-B.unr:Errored"},
         .posixOnly = "on Windows two names that differ in letter case are one file, so the case "
                      "cannot be set up"});
    // A stray cache file whose name differs only in letter case from a listed one's is another
    // file: it keeps no moved entry listed, so the next run leaves it alone.
    add({.name = "StrayCacheFileDifferingOnlyInCase",
         .index = "[Cache]\r\nabc=DM-One.unr\r\n",
         .files = {{"Cache/abc.uxx", Bytes("abc", 100)}, {"Cache/ABC.uxx", Bytes("ABC", 100)}},
         .marks = {"DM-One.unr:YES"},
         .extra =
             [](R& t) {
                 EXPECT_EQ(t.Read("Cache/cache.ini"), "[Cache]\r\n\r\n");
                 UnrealMOD::MemoryCatalogue next;
                 t.Load(next);
                 lodestow_test::FakeView view;
                 UnrealMOD::RunitClick(next, view);
                 EXPECT_EQ(t.Read("Cache/ABC.uxx"), Bytes("ABC", 100));
                 EXPECT_EQ(t.Read("Maps/DM-One.unr"), Bytes("abc", 100));
             },
         .posixOnly = "on Windows two names that differ in letter case are one file, so the case "
                      "cannot be set up"});
    // A destination folder that is the cache folder: a package would be copied onto itself and
    // deleted, or put over the index.
    add({.name = "DestinationFolderIsTheCacheFolder",
         .index = "[Cache]\r\nK1=K1.uxx\r\nK2=cache.ini\r\nK3=Sky.utx\r\n",
         .files = {{"Cache/K1.uxx", Bytes("K1", 100)},
                   {"Cache/K2.uxx", Bytes("K2", 100)},
                   {"Cache/K3.uxx", Bytes("K3", 100)}},
         .setup =
             [](R& t) {
                 fs::create_directory_symlink(t.Native("Cache"), t.Native("Unknown File"));
             },
         .marks = {"K1.uxx:Errored", "cache.ini:Errored", "Sky.utx:YES"},
         .posixOnly = "the destination folder is a symbolic link to the cache"});
    // The game adds an entry between the closing read and the rewrite: it stays listed.
    add({.name = "EntryAddedDuringTheRun",
         .index = Three,
         .files = ThreeFiles(),
         .arm =
             [](R& t, reliability::Before& b, HookedCatalogue& c) {
                 c.appendHook = [&t, &b] {
                     b.WriteFile(t.Native("Cache/K9.uxx"), Bytes("K9", 100));
                     b.WriteFile(t.Native("Cache/cache.ini"), Three + "K9=DM-New.unr\r\n");
                 };
             },
         .marks = {"DM-A.unr:YES", "Sky.utx:YES"},
         .extra =
             [](R& t) {
                 EXPECT_EQ(t.Read("Cache/cache.ini"),
                           "[Cache]\r\nK2=Pack.u\r\nK9=DM-New.unr\r\n\r\n");
                 EXPECT_EQ(t.Read("Cache/K9.uxx"), Bytes("K9", 100));
             }});
    {
        auto [index, files] = HostileIndex();
        add({.name = "HostileNames",
             .index = index,
             .files = files,
             .setup = [](R& t) { fs::create_directory(t.Native("Unknown File")); },
             .marks = {"..\\..\\evil.unr:Errored", "C:evil.unr:Errored", "*.unr:Errored",
                       "nul:Errored", "..:Errored", "Steal.unr:Errored", "Steal2.unr:Errored",
                       "Star.unr:Errored", "Device.unr:Errored", "Fine.unr:YES"},
             .extra =
                 [](R& t) {
                     const std::string index = *t.Read("Cache/cache.ini");
                     EXPECT_NE(index.find("\r\nH0=..\\..\\evil.unr\r\n"), std::string::npos);
                     EXPECT_NE(index.find("\r\n..\\System\\Victim=Steal.unr\r\n"),
                               std::string::npos);
                     EXPECT_EQ(index.find("Fine=Fine.unr"), std::string::npos);
                 }});
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Faults, ReliabilityTest, testing::ValuesIn(Cases()),
                         testsupport::CaseName());

} // namespace
