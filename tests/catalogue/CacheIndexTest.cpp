// The reading rule on decoded bytes: line ends, byte-order marks, names, destinations, counts.

#include "catalogue/CacheIndex.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

using UnrealMOD::CatalogueRow;
using UnrealMOD::DecodeIndex;
using UnrealMOD::IndexEncoding;
using UnrealMOD::IndexText;
using UnrealMOD::ParseIndexLines;

namespace {

// The bytes of a literal, NULs included.
template <std::size_t N> std::string Bytes(const char (&literal)[N]) {
    return std::string(literal, N - 1);
}

using Entry = std::tuple<std::string, std::string, std::string>; // real name, cache name, folder

std::vector<Entry> Entries(const std::vector<CatalogueRow>& rows) {
    std::vector<Entry> out;
    for (const CatalogueRow& row : rows) {
        EXPECT_EQ(row.copied, "NO");
        out.emplace_back(row.fileName, row.cacheName, row.destination);
    }
    return out;
}

struct ReadCase {
    const char* title;
    std::string bytes;
    std::vector<Entry> rows;
    long long transferable;
};

class ReadingRule : public testing::TestWithParam<ReadCase> {};

TEST_P(ReadingRule, GivesTheseRowsAndCounts) {
    const ReadCase& c = GetParam();
    const UnrealMOD::ParsedIndex parsed = ParseIndexLines(DecodeIndex(c.bytes).lines);
    EXPECT_EQ(Entries(parsed.rows), c.rows);
    EXPECT_EQ(parsed.numFiles, static_cast<long long>(c.rows.size()));
    EXPECT_EQ(parsed.transferable, c.transferable);
}

const std::vector<Entry> Three = {
    {"DM-A.unr", "K1", "Maps"}, {"Pack.u", "K2", "System"}, {"Sky.utx", "K3", "Textures"}};

INSTANTIATE_TEST_SUITE_P(
    Lines, ReadingRule,
    testing::Values(
        ReadCase{"CrLf", "[Cache]\r\nK1=DM-A.unr\r\nK2=Pack.u\r\nK3=Sky.utx\r\n", Three, 2},
        ReadCase{"CrOnly", "[Cache]\rK1=DM-A.unr\rK2=Pack.u\rK3=Sky.utx\r", Three, 2},
        ReadCase{"LfOnly", "[Cache]\nK1=DM-A.unr\nK2=Pack.u\nK3=Sky.utx\n", Three, 2},
        ReadCase{"MixedNoLastTerminator", "[Cache]\nK1=DM-A.unr\r\rK2=Pack.u\n\r\nK3=Sky.utx",
                 Three, 2},
        // LF CR is two line ends, not one: the empty line between them yields nothing.
        ReadCase{"LfCr", "K1=DM-A.unr\n\rK2=Pack.u", {Three[0], Three[1]}, 1},
        ReadCase{"EmptyFile", "", {}, 0}, ReadCase{"SectionOnly", "[Cache]\r\n", {}, 0},
        ReadCase{"RewrittenEmptyCache", "[Cache]\r\n\r\n", {}, 0},
        ReadCase{"NoSectionNeeded", "K1=DM-A.unr", {Three[0]}, 1},
        ReadCase{"FirstAndLastEquals", "K=a=b.utx\r\n", {{"b.utx", "K", "Textures"}}, 1},
        ReadCase{"EmptyRealName", "[Cache]\r\nK=\r\nK1=DM-A.unr\r\n", {Three[0]}, 1},
        ReadCase{"EmptyCacheName", "=Map.unr\r\n", {{"Map.unr", "", "Maps"}}, 1},
        ReadCase{
            "NothingTrimmed", " K1 = DM-A.unr \r\n", {{" DM-A.unr ", " K1 ", "Unknown File"}}, 1},
        ReadCase{"CaseSensitive",
                 "[cache]\r\nA=X.UNR\r\nB=Y.Utx\r\nC=Z.uNr\r\n",
                 {{"X.UNR", "A", "Unknown File"},
                  {"Y.Utx", "B", "Unknown File"},
                  {"Z.uNr", "C", "Unknown File"}},
                 3},
        ReadCase{"SectionWithSpaceIsNoSection",
                 "[Cache] \r\n[Cache]=x.u\r\n",
                 {{"x.u", "[Cache]", "System"}},
                 0},
        ReadCase{"ShortNames",
                 "A=a.u\r\nB=.u\r\nC=u\r\nD=\xE9.u\r\n",
                 {{"a.u", "A", "System"},
                  {".u", "B", "System"},
                  {"u", "C", "Unknown File"},
                  {"\xC3\xA9.u", "D", "System"}},
                 1},
        ReadCase{"AllFolders",
                 "a=1.unr\rb=2.utx\rc=3.uax\rd=4.int\re=5.umx\rf=6.u\rg=7.txt\r",
                 {{"1.unr", "a", "Maps"},
                  {"2.utx", "b", "Textures"},
                  {"3.uax", "c", "Sounds"},
                  {"4.int", "d", "System"},
                  {"5.umx", "e", "Music"},
                  {"6.u", "f", "System"},
                  {"7.txt", "g", "Unknown File"}},
                 5},
        // Once an end marker of the reader itself: now an ordinary name, and what follows is read.
        ReadCase{
            "NomoreIsAName",
            "A=NOMORE\r\nB=Pack.u\r\nC=DM-A.unr\r\n",
            {{"NOMORE", "A", "Unknown File"}, {"Pack.u", "B", "System"}, {"DM-A.unr", "C", "Maps"}},
            2},
        // A line without "=" is passed over: its text is not turned into a name.
        ReadCase{"LineWithoutEquals", "[Cache]\r\nDM-A.unr\r\nK2=Pack.u\r\n", {Three[1]}, 0},
        ReadCase{"NulIsAnOrdinaryCharacter",
                 Bytes("K\0=a\0b.unr\r\n"),
                 {{Bytes("a\0b.unr"), Bytes("K\0"), "Maps"}},
                 1},
        ReadCase{"AnsiDecoded",
                 "K\x80=Caf\xE9.utx\r\n",
                 {{"Caf\xC3\xA9.utx", "K\xE2\x82\xAC", "Textures"}},
                 1}),
    [](const testing::TestParamInfo<ReadCase>& info) { return std::string(info.param.title); });

TEST(DecodeIndex, MarksAndTheBytesChooseTheEncoding) {
    const struct {
        std::string bytes;
        IndexEncoding encoding;
        std::vector<std::string> lines;
    } cases[] = {
        {Bytes("\xFF\xFEK\0=\0\xE4\0.\0u\0\r\0\n\0Z\0=\0\xAC\x20.\0u\0"),
         IndexEncoding::Utf16LeBom,
         {"K=\xC3\xA4.u", "Z=\xE2\x82\xAC.u"}},
        {"\xEF\xBB\xBFK=\xE6\x97\xA5.unr\nB=x.u",
         IndexEncoding::Utf8Bom,
         {"K=\xE6\x97\xA5.unr", "B=x.u"}},
        // Without a mark, valid UTF-8 beyond ASCII is UTF-8 ...
        {"[Cache]\r\nK1=DM-D\xC3\xA9j\xC3\xA0Vu.unr\r\nK2=\xF0\x9F\x98\x80.u\r\n",
         IndexEncoding::Utf8,
         {"[Cache]", "K1=DM-D\xC3\xA9j\xC3\xA0Vu.unr", "K2=\xF0\x9F\x98\x80.u"}},
        // ... and anything else Windows-1252, one malformed byte anywhere (even the last) too.
        {"K=\xE6.u", IndexEncoding::Ansi, {"K=\xC3\xA6.u"}},
        {"K1=D\xC3\xA9j\xC3\xA0.unr\r\nK2=Caf\xE9",
         IndexEncoding::Ansi,
         {"K1=D\xC3\x83\xC2\xA9j\xC3\x83\xC2\xA0.unr", "K2=Caf\xC3\xA9"}},
        {"K=\xC3\xA9\xC3", IndexEncoding::Ansi, {"K=\xC3\x83\xC2\xA9\xC3\x83"}},
        {"K=\xED\xA0\x80.u", IndexEncoding::Ansi, {"K=\xC3\xAD\xC2\xA0\xE2\x82\xAC.u"}},
        {"[Cache]\r\nK=DM-A.unr", IndexEncoding::Ansi, {"[Cache]", "K=DM-A.unr"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        const IndexText text = DecodeIndex(c.bytes);
        EXPECT_EQ(text.encoding, c.encoding);
        EXPECT_EQ(text.lines, c.lines);
    }
}

TEST(DecodeIndex, BrokenInputDoesNotBreakTheReader) {
    // An odd UTF-16 byte count and text that is not UTF-8 after a UTF-8 mark.
    EXPECT_EQ(DecodeIndex(Bytes("\xFF\xFEK\0=\0a\0.\0u\0\r")).lines.size(), 1U);
    const IndexText text = DecodeIndex("\xEF\xBB\xBF\x80\xFF=\xC3.unr\r\n");
    ASSERT_EQ(text.lines.size(), 1U);
    const auto parsed = ParseIndexLines(text.lines);
    ASSERT_EQ(parsed.rows.size(), 1U);
    EXPECT_EQ(parsed.rows[0].destination, "Maps");
}

TEST(EncodeIndex, WritesTheMarkAndGivesBackTheText) {
    const std::string text = "[Cache]\r\nK=W\xC3\xB6rter.u\r\n\r\n";
    for (IndexEncoding encoding : {IndexEncoding::Ansi, IndexEncoding::Utf8, IndexEncoding::Utf8Bom,
                                   IndexEncoding::Utf16LeBom}) {
        const auto bytes = UnrealMOD::EncodeIndex(text, encoding);
        ASSERT_TRUE(bytes);
        const IndexText back = DecodeIndex(*bytes);
        EXPECT_EQ(back.encoding, encoding);
        EXPECT_EQ(back.lines, (std::vector<std::string>{"[Cache]", "K=W\xC3\xB6rter.u", ""}));
    }
    EXPECT_EQ(*UnrealMOD::EncodeIndex("K=\xC3\xB6", IndexEncoding::Ansi), "K=\xF6");
    EXPECT_FALSE(UnrealMOD::EncodeIndex("K=\xE6\x97\xA5.u", IndexEncoding::Ansi));
    EXPECT_EQ(*UnrealMOD::EncodeIndex("K=\xC3\xB6", IndexEncoding::Utf8), "K=\xC3\xB6"); // no mark
    // ANSI bytes that would read back as UTF-8, as other names: not ANSI.
    EXPECT_FALSE(UnrealMOD::EncodeIndex("K=\xC3\x83\xC2\xA9", IndexEncoding::Ansi));
}

TEST(LastFourCharacters, CountsCharactersNotBytes) {
    using UnrealMOD::LastFourCharacters;
    EXPECT_EQ(LastFourCharacters("DM-A.unr"), ".unr");
    EXPECT_EQ(LastFourCharacters("a.u"), "a.u");
    EXPECT_EQ(LastFourCharacters(""), "");
    EXPECT_EQ(LastFourCharacters("ab\xE2\x82\xAC.u"), "b\xE2\x82\xAC.u");
    EXPECT_EQ(LastFourCharacters("x\xF0\x9F\x98\x80\xC3\xA9\xC3\xA9\xC3\xA9"),
              "\xF0\x9F\x98\x80\xC3\xA9\xC3\xA9\xC3\xA9");
    // Stray continuation bytes count one by one and never lead past the start.
    EXPECT_EQ(LastFourCharacters("\x80\x80\x80\x80\x80\x80"), "\x80\x80\x80\x80");
    EXPECT_EQ(LastFourCharacters("\x80\x80"), "\x80\x80");
}

} // namespace
