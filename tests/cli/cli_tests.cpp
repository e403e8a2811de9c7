// The command line's words and its escaping, case by case; running the commands is the
// end-to-end script's part (tests/e2e/cli_e2e.sh).
#include "cli/Options.h"
#include "cli/Text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using cli::Command;

const char* Word(Command c) {
    switch (c) {
    case Command::Help:
        return "help";
    case Command::Version:
        return "version";
    case Command::List:
        return "list";
    case Command::Transfer:
        return "transfer";
    case Command::Check:
        return "check";
    }
    return "?";
}

// The parse in one line: "error: ..." or the command and every option that is set.
std::string Outcome(const std::vector<std::string>& arguments) {
    const cli::Parsed parsed = cli::ParseArguments(arguments);
    if (!parsed.error.empty())
        return "error: " + parsed.error;
    const cli::Options& o = parsed.options;
    std::string out = Word(o.command);
    if (o.command == Command::Help && o.helpFor != Command::Help)
        out += std::string(" of ") + Word(o.helpFor);
    if (o.game)
        out += " game=" + *o.game;
    if (o.json)
        out += " json";
    if (o.dryRun)
        out += " dry-run";
    for (const UnrealMOD::EntryKind kind : o.only)
        out += std::string(" only=") + UnrealMOD::KindWord(kind);
    if (o.name)
        out += " name=" + *o.name;
    return out;
}

TEST(CommandLine, ArgumentsGiveOptionsOrOneReason) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{}, "error: no command"},
        {{"--help"}, "help"},
        {{"help", "transfer"}, "help of transfer"},
        {{"list", "--help"}, "help of list"},
        {{"--version"}, "version"},
        {{"--version", "x"}, "error: unexpected argument 'x'"},
        {{"lst"}, "error: unknown command 'lst'"},
        {{"--json"}, "error: unknown option '--json'"},
        {{"list", "--game", "C:\\UT"}, "list game=C:\\UT\\"},
        {{"list", "--game=/opt/ut"}, "list game=/opt/ut/"},
        {{"list", "--game", "/opt/ut/", "--json"}, "list game=/opt/ut/ json"},
        {{"list", "--game"}, "error: option --game needs a value"},
        {{"list", "--game="}, "error: option --game needs a folder"},
        {{"list", "--game", "a", "--game", "b"}, "error: option --game given twice"},
        {{"list", "--dry-run"}, "error: unknown option '--dry-run' for list"},
        {{"list", "extra"}, "error: unexpected argument 'extra'"},
        {{"list", "--json=yes"}, "error: option --json takes no value"},
        {{"check", "--json"}, "error: unknown option '--json' for check"},
        {{"transfer", "--dry-run", "--only", "maps,music,maps"},
         "transfer dry-run only=map only=music"},
        {{"transfer", "--only=other"}, "transfer only=other"},
        {{"transfer", "--only", "staticmeshes,animations,meshes"},
         "transfer only=static mesh only=animation only=mesh"},
        {{"transfer", "--only", "maps,code"},
         "error: unknown kind 'code' for --only (maps, textures, sounds, music, staticmeshes, "
         "animations, meshes, other)"},
        {{"transfer", "--only", ""},
         "error: unknown kind '' for --only (maps, textures, sounds, music, staticmeshes, "
         "animations, meshes, other)"},
        {{"transfer", "--name", "dm-*", "--json"}, "transfer json name=dm-*"},
        {{"transfer", "--name"}, "error: option --name needs a value"},
    };
    for (const auto& [arguments, expected] : cases) {
        std::string shown = "lodestow";
        for (const std::string& a : arguments)
            shown += " " + a;
        EXPECT_EQ(Outcome(arguments), expected) << shown;
    }
}

TEST(CommandLine, HelpOfEachCommandFitsOneScreen) {
    for (const Command c : {Command::Help, Command::List, Command::Transfer, Command::Check}) {
        const std::string help = cli::HelpText(c);
        std::size_t lines = 0, start = 0;
        for (std::size_t end; (end = help.find('\n', start)) != std::string::npos;
             start = end + 1) {
            ++lines;
            EXPECT_LE(end - start, 80u) << help.substr(start, end - start);
        }
        EXPECT_LE(lines, 24u);
    }
}

TEST(CommandLine, NamesAreShownAsValidEscapedText) {
    struct Case {
        std::string name, json, text;
    };
    const std::vector<Case> cases = {
        {"DM-Deck16][.unr", R"("DM-Deck16][.unr")", "DM-Deck16][.unr"},
        {"a\"b\\c", R"("a\"b\\c")", "a\"b\\c"},
        {"tab\there\nline\r", R"("tab\there\nline\r")", "tab\\x09here\\x0Aline\\x0D"},
        {std::string("nul\0esc\x1b", 8), R"("nul\u0000esc\u001b")", "nul\\x00esc\\x1B"},
        {"caf\xc3\xa9", "\"caf\xc3\xa9\"", "caf\xc3\xa9"},
        {"bad\xff\xfe", "\"bad\xef\xbf\xbd\xef\xbf\xbd\"", "bad\xef\xbf\xbd\xef\xbf\xbd"},
        {"cut\xe2\x82", "\"cut\xef\xbf\xbd\"", "cut\xef\xbf\xbd"},
        {"rtl\xe2\x80\xaegnp.unr", R"("rtl\u202egnp.unr")", "rtl\\u202Egnp.unr"},
        {"c1\xc2\x85", R"("c1\u0085")", "c1\\u0085"},
        {"del\x7f", R"("del\u007f")", "del\\x7F"},
    };
    for (const Case& c : cases) {
        std::string json;
        cli::AppendJsonString(json, c.name);
        EXPECT_EQ(json, c.json);
        EXPECT_EQ(cli::ShownText(c.name), c.text);
    }
}

TEST(CommandLine, TimesAndSizes) {
    EXPECT_EQ(cli::IsoTime(0), "1970-01-01T00:00:00Z");
    EXPECT_EQ(cli::IsoTime(951782400), "2000-02-29T00:00:00Z");
    EXPECT_EQ(cli::IsoTime(1714564799), "2024-05-01T11:59:59Z");
    EXPECT_EQ(cli::IsoTime(-1), "1969-12-31T23:59:59Z");
    EXPECT_EQ(cli::ShortSize(1023), "1023 B");
    EXPECT_EQ(cli::ShortSize(1536), "1.5 KB");
    EXPECT_EQ(cli::ShortSize(5u << 20), "5.0 MB");
}

} // namespace
