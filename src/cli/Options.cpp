#include "cli/Options.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <utility>

namespace cli {

namespace {

using UnrealMOD::EntryKind;

struct KindName {
    std::string_view word;
    EntryKind kind;
};
constexpr std::array<KindName, 8> Kinds{{
    {"maps", EntryKind::Map},
    {"textures", EntryKind::Texture},
    {"sounds", EntryKind::Sound},
    {"music", EntryKind::Music},
    {"staticmeshes", EntryKind::StaticMesh},
    {"animations", EntryKind::Animation},
    {"meshes", EntryKind::Mesh},
    {"other", EntryKind::Other},
}};
constexpr std::string_view KindWords =
    "maps, textures, sounds, music, staticmeshes, animations, meshes, other";

std::optional<Command> CommandNamed(std::string_view word) {
    if (word == "list")
        return Command::List;
    if (word == "transfer")
        return Command::Transfer;
    if (word == "check")
        return Command::Check;
    return std::nullopt;
}

std::string ParseKinds(std::string_view text, std::vector<EntryKind>& out) {
    out.clear();
    std::size_t begin = 0;
    while (true) {
        const std::size_t comma = text.find(',', begin);
        const std::string_view word =
            text.substr(begin, comma == std::string_view::npos ? text.npos : comma - begin);
        bool known = false;
        for (const KindName& kind : Kinds) {
            if (word == kind.word) {
                known = true;
                if (std::find(out.begin(), out.end(), kind.kind) == out.end())
                    out.push_back(kind.kind);
            }
        }
        if (!known)
            return "unknown kind '" + std::string(word) + "' for --only (" +
                   std::string(KindWords) + ")";
        if (comma == std::string_view::npos)
            return {};
        begin = comma + 1;
    }
}

} // namespace

std::string GameFolderFromOption(std::string folder) {
    if (!folder.empty() && folder.back() != '\\' && folder.back() != '/')
        folder += folder.front() == '/' ? '/' : '\\';
    return folder;
}

Parsed ParseArguments(const std::vector<std::string>& arguments) {
    Parsed parsed;
    Options& o = parsed.options;
    const auto fail = [&parsed](std::string why) {
        parsed.error = std::move(why);
        return parsed;
    };
    if (arguments.empty())
        return fail("no command");
    const std::string& first = arguments.front();
    if (first == "--help" || first == "-h" || first == "help") {
        o.command = Command::Help;
        if (arguments.size() > 2)
            return fail("unexpected argument '" + arguments[2] + "'");
        if (arguments.size() == 2) {
            const auto of = CommandNamed(arguments[1]);
            if (!of)
                return fail("unknown command '" + arguments[1] + "'");
            o.helpFor = *of;
        }
        return parsed;
    }
    if (first == "--version") {
        o.command = Command::Version;
        if (arguments.size() > 1)
            return fail("unexpected argument '" + arguments[1] + "'");
        return parsed;
    }
    const auto command = CommandNamed(first);
    if (!command)
        return fail(first.starts_with("-") ? "unknown option '" + first + "'"
                                           : "unknown command '" + first + "'");
    o.command = *command;
    const bool transfer = o.command == Command::Transfer;
    bool help = false;
    bool gameSeen = false, onlySeen = false;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        std::string option = arguments[i];
        std::optional<std::string> value;
        if (option.starts_with("--")) {
            if (const auto equals = option.find('='); equals != std::string::npos) {
                value = option.substr(equals + 1);
                option.resize(equals);
            }
        } else {
            return fail("unexpected argument '" + option + "'");
        }
        const bool takesValue = option == "--game" || (transfer && option == "--only") ||
                                (transfer && option == "--name");
        if (takesValue && !value) {
            if (i + 1 >= arguments.size())
                return fail("option " + option + " needs a value");
            value = arguments[++i];
        } else if (!takesValue && value) {
            return fail("option " + option + " takes no value");
        }
        if (option == "--help") {
            help = true;
        } else if (option == "--game") {
            if (gameSeen)
                return fail("option --game given twice");
            if (value->empty())
                return fail("option --game needs a folder");
            gameSeen = true;
            o.game = GameFolderFromOption(*value);
        } else if (option == "--json" && o.command != Command::Check) {
            o.json = true;
        } else if (transfer && option == "--dry-run") {
            o.dryRun = true;
        } else if (transfer && option == "--only") {
            if (onlySeen)
                return fail("option --only given twice");
            onlySeen = true;
            if (auto why = ParseKinds(*value, o.only); !why.empty())
                return fail(why);
        } else if (transfer && option == "--name") {
            if (o.name)
                return fail("option --name given twice");
            o.name = *value;
        } else {
            return fail("unknown option '" + option + "' for " + first);
        }
    }
    if (help) {
        o.helpFor = o.command;
        o.command = Command::Help;
    }
    return parsed;
}

std::string VersionText() {
    return std::string("lodestow ") + LODESTOW_VERSION + "\n";
}

std::string HelpText(Command command) {
    switch (command) {
    case Command::List:
        return "Usage: lodestow list [--game DIR] [--json]\n"
               "\n"
               "Shows every entry of the game's cache index: what a transfer would do with it,\n"
               "its kind, size, real name, destination and cache name; then the totals.\n"
               "\n"
               "  --game DIR  the game folder (default: the one the window uses)\n"
               "  --json      one JSON document instead of lines\n"
               "\n"
               "Exit status: 0 listed; 2 no game, no cache index, or it cannot be read.\n";
    case Command::Transfer:
        return "Usage: lodestow transfer [--game DIR] [--dry-run] [--only KINDS]\n"
               "                         [--name PATTERN] [--json]\n"
               "\n"
               "Moves the cached packages to the game's folders under their real names, as\n"
               "\"Begin Transfer\" does, and rewrites the cache index.\n"
               "\n"
               "  --game DIR      the game folder (default: the one the window uses)\n"
               "  --dry-run       change nothing; show what would happen to each entry\n"
               "  --only KINDS    only these kinds, separated by commas: maps, textures,\n"
               "                  sounds, music, staticmeshes, animations, meshes, other\n"
               "  --name PATTERN  only real names matching PATTERN (* and ?, any letter case)\n"
               "  --json          one JSON document instead of lines\n"
               "\n"
               "Exit status: 0 every selected entry moved (or was installed already);\n"
               "1 some were kept in the cache; 2 nothing could be done (no game, no cache\n"
               "index, the game is running).\n";
    case Command::Check:
        return "Usage: lodestow check [--game DIR]\n"
               "\n"
               "Shows the game folder, the cache folder and extension and where they come from,\n"
               "the cache index's encoding, the entries by state and whether the game runs.\n"
               "\n"
               "  --game DIR  the game folder (default: the one the window uses)\n"
               "\n"
               "Exit status: 0 a transfer can run; 1 the game is running; 2 no game, no cache\n"
               "index, or it cannot be read.\n";
    case Command::Help:
    case Command::Version:
        break;
    }
    return "Usage: lodestow [COMMAND [OPTIONS]]\n"
           "\n"
           "Moves the packages Unreal Tournament (or UT2004, Unreal, Killing Floor and the\n"
           "other games with the same cache) downloaded into its cache to the folders\n"
           "where they belong. Without a command it opens its window.\n"
           "\n"
           "Commands:\n"
           "  list      show every cache entry and what a transfer would do with it\n"
           "  transfer  move the cached packages to their folders\n"
           "  check     show the game folder and its cache, and whether a transfer can run\n"
           "\n"
           "  --help          this help; `lodestow COMMAND --help` shows a command's options\n"
           "  --version       the program's version\n"
           "  --game DIR      (every command) the game folder, a native or a Windows path;\n"
           "                  default: the one the window uses\n"
           "\n"
           "Exit status: 0 done; 1 entries were kept in the cache (transfer) or the game\n"
           "is running (check); 2 nothing could be done, with the reason on one line.\n";
}

} // namespace cli
