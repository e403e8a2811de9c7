#include "platform/Text.h"

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

} // namespace
