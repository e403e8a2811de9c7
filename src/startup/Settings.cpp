#include "startup/Settings.h"

#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "platform/UserFolders.h"
#include "runtime/Globals.h"

namespace UnrealMOD {

std::string SettingsFolder() {
    const std::string& program = ProgramFolder();
    if (UserFolder().empty() || platform::PathExists(program + "\\Lodestow.ini") ||
        platform::FolderAcceptsNewFiles(program))
        return program;
    return UserFolder();
}

std::string SettingsPath() {
    return SettingsFolder() + "\\Lodestow.ini";
}

std::optional<std::string> ReadSettings() {
    const auto bytes = platform::ReadFileBytes(SettingsPath());
    // An empty or unreadable file is as good as none: the caller goes on with the default.
    if (!bytes || bytes->empty())
        return std::nullopt;
    // A file edited with a Unix editor ends its line with a lone LF, which can never be part of a
    // folder name: it ends the line as CR does.
    const auto end = bytes->find_first_of("\r\n");
    return platform::AnsiToUtf8(std::string_view(*bytes).substr(0, end));
}

bool WriteSettings(std::string value) {
    // A line end inside the value (a folder name may hold one on Linux) would store another
    // folder than the one given.
    if (value.find_first_of("\r\n") != std::string::npos)
        return false;
    const auto ansi = platform::Utf8ToAnsi(value);
    if (!ansi)
        return false;
    const std::string folder = SettingsFolder();
    // The player's folder may not exist yet; the program folder is never made.
    if (folder != ProgramFolder() && !platform::CreateFolders(folder))
        return false;
    return platform::WriteFileBytes(folder + "\\Lodestow.ini", *ansi + "\r\n");
}

} // namespace UnrealMOD
