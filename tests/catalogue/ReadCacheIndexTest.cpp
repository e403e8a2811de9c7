// Reading the index from disk into the catalogue.

#include "catalogue/CacheIndex.h"
#include "platform/Text.h"
#include "runtime/DoEvents.h"
#include "runtime/Globals.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using UnrealMOD::CatalogueRow;
using UnrealMOD::MemoryCatalogue;

namespace {

// Records the calls the window's lists would see.
class CountingCatalogue : public MemoryCatalogue {
public:
    void Clear() override {
        calls.push_back("Clear");
        MemoryCatalogue::Clear();
    }
    void AppendRows(const std::vector<CatalogueRow>& more) override {
        calls.push_back("AppendRows");
        MemoryCatalogue::AppendRows(more);
    }
    std::vector<std::string> calls;
};

class ReadCacheIndexTest : public testing::Test {
protected:
    void SetUp() override {
        dir_.emplace();
        root_ = dir_->path();
        fs::create_directories(root_ / "Game" / "Cache");
        // A native absolute game folder; the Wine-style drive paths are exercised elsewhere.
        UnrealMOD::GameFolder = (root_ / "Game").string() + "/";
        UnrealMOD::CacheIndexName = "cache.ini";
    }
    void TearDown() override {
        UnrealMOD::SetDoEventsHandler(nullptr);
        dir_.reset();
    }
    void WriteIndex(const std::string& bytes, const std::string& name = "cache.ini") {
        std::ofstream(root_ / "Game" / "Cache" / name, std::ios::binary) << bytes;
    }

    std::optional<testsupport::TempDir> dir_;
    fs::path root_;
};

TEST_F(ReadCacheIndexTest, ThreeEntriesFillTheColumnsInOneAppend) {
    WriteIndex("[Cache]\r\nK1=DM-A.unr\r\nK2=Pack.u\r\nK3=Sky.utx\r\n");
    CountingCatalogue catalogue;
    catalogue.rows = {{"old", "old", "Maps", "YES"}};
    UnrealMOD::SetDoEventsHandler([&] { catalogue.calls.push_back("DoEvents"); });

    ASSERT_TRUE(UnrealMOD::ReadCacheIndex(catalogue));
    EXPECT_EQ(catalogue.calls, (std::vector<std::string>{"Clear", "DoEvents", "AppendRows"}));
    EXPECT_EQ(catalogue.rows, (std::vector<CatalogueRow>{{"DM-A.unr", "K1", "Maps", "NO"},
                                                         {"Pack.u", "K2", "System", "NO"},
                                                         {"Sky.utx", "K3", "Textures", "NO"}}));
    EXPECT_EQ(catalogue.NumFilesText(), "3");
    EXPECT_EQ(catalogue.OnesToTransferText(), "2");
}

TEST_F(ReadCacheIndexTest, IndexNameMatchesWithoutRegardToCase) {
    WriteIndex("[Cache]\r\nK1=DM-A.unr\r\n", "CACHE.INI");
    MemoryCatalogue catalogue;
    ASSERT_TRUE(UnrealMOD::ReadCacheIndex(catalogue));
    EXPECT_EQ(catalogue.RowCount(), 1);
}

TEST_F(ReadCacheIndexTest, EmptyAndSectionOnlyFilesGiveZeroCounts) {
    for (const char* bytes : {"", "[Cache]\r\n", "[Cache]\r\n\r\n"}) {
        WriteIndex(bytes);
        MemoryCatalogue catalogue;
        ASSERT_TRUE(UnrealMOD::ReadCacheIndex(catalogue));
        EXPECT_EQ(catalogue.RowCount(), 0);
        EXPECT_EQ(catalogue.NumFilesText(), "0");
        EXPECT_EQ(catalogue.OnesToTransferText(), "0");
    }
}

TEST_F(ReadCacheIndexTest, UnreadableIndexEmptiesTheListsAndKeepsTheCounts) {
    MemoryCatalogue catalogue;
    catalogue.rows = {{"DM-A.unr", "K1", "Maps", "NO"}};
    catalogue.numFiles = "7";
    catalogue.onesToTransfer = "5";
    EXPECT_FALSE(UnrealMOD::ReadCacheIndex(catalogue)); // missing
    fs::create_directory(root_ / "Game" / "Cache" / "cache.ini");
    EXPECT_FALSE(UnrealMOD::ReadCacheIndex(catalogue)); // a folder
    EXPECT_EQ(catalogue.RowCount(), 0);
    EXPECT_EQ(catalogue.NumFilesText(), "7");
    EXPECT_EQ(catalogue.OnesToTransferText(), "5");

    UnrealMOD::GameFolder = "Q:\\NoSuchDrive\\"; // a drive that does not resolve
    EXPECT_FALSE(UnrealMOD::ReadCacheIndex(catalogue));
}

TEST_F(ReadCacheIndexTest, HundredThousandLinesAreReadWhole) {
    const char* tails[] = {".unr", ".u", ".utx", ".int", ".uax"};
    std::string bytes = "[Cache]\r\n";
    long long transferable = 0;
    for (int i = 0; i < 100000; ++i) {
        const int kind = i % 5;
        transferable += (kind != 1 && kind != 3) ? 1 : 0;
        bytes += "C" + std::to_string(i) + "=F" + std::to_string(i) + tails[kind] + "\r\n";
    }
    WriteIndex(bytes);
    CountingCatalogue catalogue;
    ASSERT_TRUE(UnrealMOD::ReadCacheIndex(catalogue));
    ASSERT_EQ(catalogue.RowCount(), 100000);
    EXPECT_EQ(catalogue.NumFilesText(), "100000");
    EXPECT_EQ(catalogue.OnesToTransferText(), std::to_string(transferable));
    EXPECT_EQ(catalogue.Row(0), (CatalogueRow{"F0.unr", "C0", "Maps", "NO"}));
    EXPECT_EQ(catalogue.Row(99999), (CatalogueRow{"F99999.uax", "C99999", "Sounds", "NO"}));
    // In batches as the file is read, never a call per row.
    EXPECT_LE(std::count(catalogue.calls.begin(), catalogue.calls.end(), "AppendRows"), 30);
}

// The file is read in pieces of a megabyte: a line end, a character or a UTF-16 surrogate pair
// cut by a piece boundary reads exactly as the whole file decoded at once.
TEST_F(ReadCacheIndexTest, PieceBoundariesChangeNothing) {
    for (int shift = 0; shift < 4; ++shift) {
        std::string text =
            "[Cache]\r\n" + std::string(static_cast<std::size_t>(shift), ' ') + "\r\n";
        for (int i = 0; text.size() < (5U << 19); ++i)
            text += "C" + std::to_string(i) + "=Caf\xC3\xA9\xF0\x9F\x8E\xAE" + std::to_string(i) +
                    (i % 3 == 0   ? ".unr\r\n"
                     : i % 3 == 1 ? ".utx\r"
                                  : ".u\n");
        const std::string utf16 = "\xFF\xFE" + platform::Utf8ToUtf16Le(text);
        std::string ansi = text;
        for (char& c : ansi)
            if (static_cast<unsigned char>(c) >= 0x80)
                c = 'x';
        // Unmarked UTF-8, and the same with one malformed byte (Windows-1252) at its very end or
        // at the start of the second piece.
        std::string broken = text;
        broken.insert(1U << 20, "\xE9");
        for (const std::string& bytes :
             {utf16, "\xEF\xBB\xBF" + text, ansi + "\r", text, text + "K=\xE9.u", broken}) {
            WriteIndex(bytes);
            MemoryCatalogue catalogue;
            ASSERT_TRUE(UnrealMOD::ReadCacheIndex(catalogue));
            const UnrealMOD::IndexText decoded = UnrealMOD::DecodeIndex(bytes);
            ASSERT_TRUE(UnrealMOD::LastIndexReading());
            EXPECT_EQ(UnrealMOD::LastIndexReading()->encoding, decoded.encoding);
            const auto expected = UnrealMOD::ParseIndexLines(decoded.lines);
            ASSERT_EQ(catalogue.rows.size(), expected.rows.size()) << shift;
            EXPECT_TRUE(catalogue.rows == expected.rows) << shift;
            EXPECT_EQ(catalogue.NumFilesText(), std::to_string(expected.numFiles));
        }
    }
}

TEST_F(ReadCacheIndexTest, BinaryIndexDoesNotCrash) {
    std::string bytes;
    for (int i = 0; i < 4096; ++i) {
        bytes += static_cast<char>((i * 7919) & 0xFF);
    }
    bytes += std::string("\0=\0\0.unr\0\r\n", 11);
    WriteIndex(bytes);
    MemoryCatalogue catalogue;
    ASSERT_TRUE(UnrealMOD::ReadCacheIndex(catalogue));
    for (const CatalogueRow& row : catalogue.rows) {
        EXPECT_FALSE(row.fileName.empty());
    }
    EXPECT_EQ(catalogue.NumFilesText(), std::to_string(catalogue.RowCount()));
}

} // namespace
