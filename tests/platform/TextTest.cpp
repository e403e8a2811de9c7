#include "platform/Text.h"
#ifdef _WIN32
#include "platform/win32/Wide.h"

#include <algorithm>
#include <vector>
#endif

#include <gtest/gtest.h>

namespace {

TEST(AnsiText, EveryByteSurvivesARoundTrip) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    const std::string utf8 = platform::AnsiToUtf8(all);
    EXPECT_EQ(platform::Utf8ToAnsi(utf8), all);
}

TEST(AnsiText, DecodesWindows1252) {
    const struct {
        const char* ansi;
        const char* utf8;
    } cases[] = {
        {"DM-A.unr", "DM-A.unr"},
        {"\x80", "\xE2\x82\xAC"}, // €
        {"\x81", "\xC2\x81"},     // undefined byte -> U+0081
        {"\x8D\x8F\x90\x9D", "\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D"},
        {"\x8A\x9F", "\xC5\xA0\xC5\xB8"}, // Š Ÿ
        {"Caf\xE9", "Caf\xC3\xA9"},       // é
        {"\xA0\xFF", "\xC2\xA0\xC3\xBF"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.utf8);
        EXPECT_EQ(platform::AnsiToUtf8(c.ansi), c.utf8);
        EXPECT_EQ(platform::Utf8ToAnsi(c.utf8), c.ansi);
    }
}

TEST(AnsiText, CharactersOutsideTheCodePageHaveNoEncoding) {
    for (const char* utf8 : {"\xE6\x97\xA5", "\xC4\x80", "a\xF0\x9F\x98\x80", "\xC2\x80", "\xC3",
                             "\xC0\xAF", "\xED\xA0\x80"}) {
        SCOPED_TRACE(utf8);
        EXPECT_EQ(platform::Utf8ToAnsi(utf8), std::nullopt);
    }
    EXPECT_EQ(platform::Utf8ToAnsi(""), "");
}

TEST(Utf16Text, EncodesAndDecodesWithSurrogatePairs) {
    const std::string utf8 = "A\xE2\x82\xAC\xF0\x9F\x98\x80\xC3\xA9"; // A € 😀 é
    const std::string utf16("A\0\xAC\x20\x3D\xD8\x00\xDE\xE9\0", 10);
    EXPECT_EQ(platform::Utf8ToUtf16Le(utf8), utf16);
    EXPECT_EQ(platform::Utf16LeToUtf8(utf16), utf8);
}

TEST(Utf16Text, InvalidInputBecomesReplacementCharacters) {
    const std::string fffd = "\xEF\xBF\xBD";
    const struct {
        std::string utf16;
        std::string utf8;
    } decode[] = {
        {std::string("\x00\xD8"
                     "A\0",
                     4),
         fffd + "A"},                                      // lone high surrogate
        {std::string("\x00\xDC\x00\xD8", 4), fffd + fffd}, // pair in the wrong order
        {std::string("A\0B", 3), "A" + fffd},              // half a unit at the end
        {std::string("\x3D\xD8", 2), fffd},                // truncated pair
    };
    for (const auto& c : decode)
        EXPECT_EQ(platform::Utf16LeToUtf8(c.utf16), c.utf8);

    const std::string r("\xFD\xFF", 2);
    const struct {
        std::string utf8;
        std::string utf16;
    } encode[] = {
        {"\xC0\xAF", r + r},         // overlong
        {"\xED\xA0\x80", r + r + r}, // encoded surrogate
        {std::string("\xE2\x82"
                     "A"),
         r + std::string("A\0", 2)},         // truncated sequence
        {"\xF4\x90\x80\x80", r + r + r + r}, // above U+10FFFF
        {"\xFF", r},
    };
    for (const auto& c : encode)
        EXPECT_EQ(platform::Utf8ToUtf16Le(c.utf8), c.utf16);
}

// Names that are one file and names that stay two, by the file system's letter-case rule: on
// Windows NTFS's (the system's table), elsewhere every code point's simple uppercase mapping.
TEST(FileNameKey, OneNameOrTwoByTheSystemsRule) {
    constexpr int kSystem = -1; // Windows: whatever the system's own comparison says
    const struct {
        const char *a, *b;
        bool posix;
        int windows;
    } cases[] = {
        {"DM-Deck16][.unr", "dm-deck16][.UNR", true, 1},
        {"\xC3\x84\xC3\x96\xC3\x9C", "\xC3\xA4\xC3\xB6\xC3\xBC", true, 1}, // ÄÖÜ äöü
        {"\xC5\x81\xC3\xB3"
         "d\xC5\xBA",
         "\xC5\x82\xC3\x93"
         "D\xC5\xB9",
         true, 1}, // Łódź
        {"DM-\xCE\x86\xCE\xBB\xCF\x86\xCE\xB1.unr", "DM-\xCE\xAC\xCE\xBB\xCF\x86\xCE\xB1.unr", true,
         1}, // DM-Άλφα DM-άλφα
        {"\xCE\x86\xCE\x9B\xCE\xA6\xCE\x91", "\xCE\xAC\xCE\xBB\xCF\x86\xCE\xB1", true, 1}, // ΆΛΦΑ
        {"\xD2\x90", "\xD2\x91", true, 1},                                                 // Ґ ґ
        {"\xEF\xBD\x81", "\xEF\xBC\xA1", true, 1},                 // fullwidth a A
        {"\xCE\xA3", "\xCF\x83", true, 1},                         // Σ σ
        {"\xF0\x9F\x98\x80.unr", "\xF0\x9F\x98\x80.UNR", true, 1}, // a pair of surrogates kept
        {"CTF-\xC4\xB0zmir.unr", "CTF-izmir.unr", false, 0},       // İ is not i
        {"\xC4\xB0", "I", false, 0},
        {"\xC3\x9F", "SS", false, 0},           // ß has no one-to-one capital
        {"\xC3\x9F", "\xE1\xBA\x9E", false, 0}, // ß ẞ
        {"\xC3\x97", "\xC3\xB7", false, 0},     // × ÷
        {"a", "b", false, 0},
        {"Maps", "Maps ", false, 0},
        {"\xC4\xB1", "i", true, kSystem},                  // ı i
        {"\xC7\x85", "\xC7\x86", true, kSystem},           // ǅ ǆ
        {"\xC7\x85", "\xC7\x84", true, kSystem},           // ǅ Ǆ
        {"\xCF\x82", "\xCF\x83", true, kSystem},           // ς σ
        {"\xF0\x90\x90\xA8", "\xF0\x90\x90\x80", true, 0}, // Deseret: NTFS compares units
        // Malformed UTF-8: on Windows it becomes U+FFFD before it is a name.
        {"A\xFF", "a\xFF", true, 1},
        {"\xFF", "\xFE", false, 1},
        {"\xC3", "\xC3\xA4", false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " / " + c.b);
        const bool same = platform::FileNameKey(c.a) == platform::FileNameKey(c.b);
#ifdef _WIN32
        const std::wstring a = platform::win32::Widen(c.a), b = platform::win32::Widen(c.b);
        const bool system = ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                                   static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
        EXPECT_EQ(same, system);
        if (c.windows != kSystem) {
            EXPECT_EQ(same, c.windows == 1);
        }
#else
        EXPECT_EQ(same, c.posix);
#endif
    }
}

#ifdef _WIN32
// The key's table against the system's comparison for every unit of the BMP: each unit's key is
// one of its own class, and the units the comparison takes for one share a key.
TEST(FileNameKey, AgreesWithTheSystemsComparisonOnEveryUnit) {
    std::vector<wchar_t> units;
    for (unsigned u = 1; u < 0x10000; ++u)
        if (u < 0xD800 || u > 0xDFFF)
            units.push_back(static_cast<wchar_t>(u));
    const auto compare = [](wchar_t a, wchar_t b) {
        return ::CompareStringOrdinal(&a, 1, &b, 1, TRUE);
    };
    const auto key = [](wchar_t u) {
        std::wstring text(1, u);
        platform::win32::UppercaseUnits(text);
        return text[0];
    };
    int outside = 0, split = 0;
    for (const wchar_t u : units)
        outside += compare(u, key(u)) != CSTR_EQUAL;
    std::stable_sort(units.begin(), units.end(),
                     [&](wchar_t a, wchar_t b) { return compare(a, b) == CSTR_LESS_THAN; });
    for (std::size_t i = 1; i < units.size(); ++i)
        split +=
            compare(units[i - 1], units[i]) == CSTR_EQUAL && key(units[i - 1]) != key(units[i]);
    EXPECT_EQ(outside, 0);
    EXPECT_EQ(split, 0);
}
#endif

} // namespace
