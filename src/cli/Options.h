#pragma once
// The command line's words: commands, options and their help.

#include "transfer/Entries.h"

#include <optional>
#include <string>
#include <vector>

namespace cli {

enum class Command { Help, Version, List, Transfer, Check };

struct Options {
    Command command = Command::Help;
    // For Help: the command whose options are asked for (Help itself: the program's).
    Command helpFor = Command::Help;
    std::optional<std::string> game; // as given, with a separator at its end
    bool json = false;
    bool dryRun = false;
    // The kinds --only names, whatever folder the game's ini gives them; empty: every kind.
    std::vector<UnrealMOD::EntryKind> only;
    std::optional<std::string> name;
};

struct Parsed {
    Options options;
    std::string error; // why the arguments make no command; empty when they do
};

// The arguments after the program's name.
Parsed ParseArguments(const std::vector<std::string>& arguments);

std::string HelpText(Command command);
std::string VersionText();

// A folder as --game takes it: a native or a Windows path, its trailing separator optional.
std::string GameFolderFromOption(std::string folder);

} // namespace cli
