// The index rewrite: what is kept, the encoding it is written in, and failures that leave the
// old index whole.

#include "GameFolderFixture.h"

#include "catalogue/CacheIndex.h"
#include "transfer/Transfer.h"

#include <gtest/gtest.h>

#include <filesystem>

using lodestow_test::FakeView;
using UnrealMOD::CatalogueRow;
using UnrealMOD::MemoryCatalogue;
using Strings = std::vector<std::string>;

namespace {

template <std::size_t N> std::string Bytes(const char (&literal)[N]) {
    return std::string(literal, N - 1);
}

class RewriteTest : public lodestow_test::GameFolderTest {};

// A transfer of one map beside one code package, with names outside ASCII, in each encoding the
// game writes: the index comes back in the encoding it had.
struct EncodingCase {
    const char* title;
    std::string before;  // the index as the game wrote it
    std::string after;   // the index after the run
    std::string mapName; // the real name of the map, as UTF-8
};

class RewriteEncoding : public lodestow_test::GameFolderTest,
                        public testing::WithParamInterface<EncodingCase> {};

TEST_P(RewriteEncoding, IndexKeepsItsEncoding) {
    const EncodingCase& c = GetParam();
    Write("Cache/cache.ini", c.before);
    Write("Cache/M.uxx", "map");
    Write("Cache/S.uxx", "code");
    MemoryCatalogue catalogue;
    Load(catalogue);
    FakeView view;
    UnrealMOD::RunitClick(catalogue, view);

    EXPECT_EQ(Read("Maps/" + c.mapName), "map");
    EXPECT_EQ(Read("Cache/cache.ini"), c.after);
    EXPECT_TRUE(view.problems.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, RewriteEncoding,
    testing::Values(
        EncodingCase{"Ansi", "[Cache]\r\nM=Caf\xE9.unr\r\nS=W\xF6rter.u\r\n",
                     "[Cache]\r\nS=W\xF6rter.u\r\n\r\n", "Caf\xC3\xA9.unr"},
        EncodingCase{"Utf8Bom", "\xEF\xBB\xBF[Cache]\nM=\xE6\x97\xA5.unr\nS=\xE2\x82\xAC.u\n",
                     "\xEF\xBB\xBF[Cache]\r\nS=\xE2\x82\xAC.u\r\n\r\n", "\xE6\x97\xA5.unr"},
        EncodingCase{
            "Utf16LeBom",
            Bytes("\xFF\xFE[\0C\0a\0c\0h\0e\0]\0\r\0\n\0M\0=\0\xE5\x65.\0u\0n\0r\0\r\0\n\0"
                  "S\0=\0\xAC\x20.\0u\0\r\0\n\0"),
            Bytes("\xFF\xFE[\0C\0a\0c\0h\0e\0]\0\r\0\n\0S\0=\0\xAC\x20.\0u\0\r\0\n\0\r\0\n\0"),
            "\xE6\x97\xA5.unr"}),
    [](const testing::TestParamInfo<EncodingCase>& info) { return std::string(info.param.title); });

TEST_F(RewriteTest, NameOutsideTheCodePageTurnsAnAnsiIndexIntoUtf8) {
    Write("Cache/cache.ini", "[Cache]\r\nS=Core.u\r\n");
    MemoryCatalogue catalogue;
    catalogue.rows = {{"Core.u", "S", "System", "NO"}, {"\xE6\x97\xA5.u", "J", "System", "NO"}};
    std::string problem;
    ASSERT_TRUE(UnrealMOD::RewriteCacheIndex(catalogue, &problem));
    EXPECT_EQ(Read("Cache/cache.ini"),
              "\xEF\xBB\xBF[Cache]\r\nS=Core.u\r\nJ=\xE6\x97\xA5.u\r\n\r\n");
    EXPECT_TRUE(problem.empty());
}

TEST_F(RewriteTest, ReplacesTheIndexInWhateverCaseItIsSpelled) {
    Write("Cache/CACHE.INI", "[Cache]\r\nK2=Pack.u\r\nK1=DM-A.unr\r\n");
    Write("Cache/K1.uxx", "map");
    MemoryCatalogue catalogue;
    Load(catalogue);
    ASSERT_TRUE(UnrealMOD::RewriteCacheIndex(catalogue, nullptr));
    EXPECT_EQ(Names("Cache"), (Strings{"CACHE.INI", "K1.uxx"}));
    EXPECT_EQ(Read("Cache/CACHE.INI"), "[Cache]\r\nK2=Pack.u\r\nK1=DM-A.unr\r\n\r\n");
}

// Two spellings of the index side by side: the one that was read is the one rewritten.
TEST_F(RewriteTest, RewritesTheFileItRead) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX only: on Windows two names that differ in letter case are one file, so "
                    "the case cannot be set up";
#else
    Write("Cache/cache.ini", "[Cache]\r\nK2=Pack.u\r\nK1=DM-A.unr\r\n");
    Write("Cache/Cache.ini", "[Cache]\r\nsomething else\r\n");
    MemoryCatalogue catalogue;
    Load(catalogue);
    ASSERT_TRUE(UnrealMOD::RewriteCacheIndex(catalogue, nullptr));
    EXPECT_EQ(Read("Cache/cache.ini"), "[Cache]\r\nK2=Pack.u\r\n\r\n");
    EXPECT_EQ(Read("Cache/Cache.ini"), "[Cache]\r\nsomething else\r\n");
#endif
}

// A linked index stays a link: the file it names takes the new index.
TEST_F(RewriteTest, LinkedIndexIsRewrittenThroughItsLink) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX only: making a symbolic link takes a privilege on Windows";
#else
    std::filesystem::create_directory(Native("Shared"));
    Write("Shared/cache.ini", "[Cache]\r\nK1=DM-A.unr\r\nK2=Pack.u\r\n");
    std::filesystem::create_symlink("../Shared/cache.ini", Native("Cache/cache.ini"));
    Write("Cache/K1.uxx", "map");
    MemoryCatalogue catalogue;
    Load(catalogue);
    FakeView view;
    UnrealMOD::RunitClick(catalogue, view);
    EXPECT_TRUE(view.problems.empty());
    EXPECT_TRUE(std::filesystem::is_symlink(Native("Cache/cache.ini")));
    EXPECT_EQ(Read("Shared/cache.ini"), "[Cache]\r\nK2=Pack.u\r\n\r\n");
    EXPECT_EQ(Names("Shared"), (Strings{"cache.ini"}));
#endif
}

TEST_F(RewriteTest, WritesAnIndexWhereThereWasNone) {
    MemoryCatalogue catalogue;
    catalogue.rows = {{"DM-A.unr", "K1", "Maps", "YES"}};
    ASSERT_TRUE(UnrealMOD::RewriteCacheIndex(catalogue, nullptr));
    EXPECT_EQ(Read("Cache/Cache.ini"), "[Cache]\r\n\r\n");
    // Read back: no rows, both counts 0.
    Load(catalogue);
    EXPECT_EQ(catalogue.RowCount(), 0);
    EXPECT_EQ(catalogue.NumFilesText(), "0");
}

// The message names the index as the system writes it: its separators, the name on disk.
TEST_F(RewriteTest, ReadOnlyIndexStaysWholeAndTheUserHearsOfIt) {
    const std::string index = "[Cache]\r\nK1=DM-A.unr\r\nK2=Pack.u\r\n";
    Write("Cache/CACHE.ini", index);
    Write("Cache/K1.uxx", "map");
    SetMode("Cache/CACHE.ini", 0444);
    MemoryCatalogue catalogue;
    Load(catalogue);
    FakeView view;

    UnrealMOD::RunitClick(catalogue, view);

    EXPECT_EQ(Read("Maps/DM-A.unr"), "map"); // the run itself went ahead
    EXPECT_EQ(Read("Cache/CACHE.ini"), index);
    EXPECT_EQ(Names("Cache"), (Strings{"CACHE.ini"}));
    ASSERT_EQ(view.problems.size(), 1U);
    EXPECT_NE(view.problems[0].find("The cache index " + Shown("Cache/CACHE.ini") + " could not"),
              std::string::npos)
        << view.problems[0];
    EXPECT_TRUE(view.enabled);
    EXPECT_FALSE(view.busy);
    EXPECT_EQ(view.log.back(), "problem");
}

TEST_F(RewriteTest, MissingCacheFolderFails) {
    std::filesystem::remove_all(Native("Cache"));
    MemoryCatalogue catalogue;
    std::string problem;
    EXPECT_FALSE(UnrealMOD::RewriteCacheIndex(catalogue, &problem));
    EXPECT_NE(problem.find("could not be rewritten"), std::string::npos);
    EXPECT_FALSE(Exists("Cache"));
}

} // namespace
