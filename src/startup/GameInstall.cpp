#include "startup/GameInstall.h"

#include "platform/FileSystem.h"
#include "platform/Places.h"
#include "platform/Text.h"
#include "runtime/Copier.h"
#include "runtime/Globals.h"

#include <cctype>
#include <utility>
#include <vector>

namespace UnrealMOD {

namespace {

constexpr std::string_view Utf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view Utf16LeMark = "\xFF\xFE";
constexpr std::string_view IniName = "UnrealTournament.ini";

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

bool IsAbsolute(std::string_view path) {
    if (!path.empty() && IsSeparator(path[0]))
        return true;
    return path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
}

std::string DecodeIni(std::string_view bytes) {
    if (bytes.starts_with(Utf16LeMark))
        return platform::Utf16LeToUtf8(bytes.substr(Utf16LeMark.size()));
    if (bytes.starts_with(Utf8Mark))
        return std::string(bytes.substr(Utf8Mark.size()));
    // A native build writes UTF-8 without a mark; text in the ANSI code page with letters beyond
    // ASCII is practically never valid UTF-8.
    if (platform::IsUtf8(bytes))
        return std::string(bytes);
    return platform::AnsiToUtf8(bytes);
}

// A value the game could use as a folder or an extension: no NUL, no line end, no other control
// character (what a binary file would give).
std::optional<std::string> UsableValue(std::string_view value) {
    value = Trimmed(value);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    if (value.empty())
        return std::nullopt;
    for (const char c : value) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return std::nullopt;
    }
    return std::string(value);
}

// Where the last name of a path starts and ends, separators after it left out.
std::pair<std::size_t, std::size_t> LastNameBounds(std::string_view folder) {
    std::size_t end = folder.size();
    while (end > 0 && IsSeparator(folder[end - 1]))
        --end;
    std::size_t start = end;
    while (start > 0 && !IsSeparator(folder[start - 1]))
        --start;
    return {start, end};
}

// Takes the last name off a folder path that ends in a separator, keeping everything before it
// as it was written. False when there is no name to take: a root, a drive, "..", or nothing.
bool DropLastName(std::string& folder) {
    for (;;) {
        const auto [start, end] = LastNameBounds(folder);
        const std::string_view name(folder.data() + start, end - start);
        if (name == ".") {
            folder.resize(start);
            continue;
        }
        const bool drive = start == 0 && name.size() == 2 && name[1] == ':';
        if (name.empty() || name == ".." || drive)
            return false;
        folder.resize(start);
        return true;
    }
}

std::vector<std::string> HomeIniCandidates(const GameMarker& marker) {
    const auto home = platform::HomeFolder();
    if (!home)
        return {};
    std::vector<std::string> candidates{*home + "/.utpg/" + marker.systemFolder + "/" +
                                        std::string(IniName)};
    if (std::string_view(marker.systemFolder) == "System")
        candidates.push_back(*home + "/.loki/ut/System/" + std::string(IniName));
    return candidates;
}

std::string FolderOf(const std::string& path) {
    std::size_t end = path.size();
    while (end > 0 && !IsSeparator(path[end - 1]))
        --end;
    return path.substr(0, end);
}

} // namespace

std::string MarkerPath(const GameMarker& marker) {
    return std::string(marker.systemFolder) + "\\" + marker.program;
}

const GameKind* GameAt(const std::string& folder) {
    return RecogniseGame(
        [&](const std::string& marker) { return Copier::FileExists(folder + marker); });
}

bool GameIsInstalledAt(const std::string& folder) {
    return GameAt(folder) != nullptr;
}

namespace {

CacheSettings CacheSettingsOf(std::string_view text) {
    CacheSettings settings;
    for (const auto& [key, value] : CoreSystemEntries(text)) {
        if (EqualIgnoringAsciiCase(key, "CachePath") && !settings.cachePath)
            settings.cachePath = UsableValue(value);
        else if (EqualIgnoringAsciiCase(key, "CacheExt") && !settings.cacheExt)
            settings.cacheExt = UsableValue(value);
    }
    return settings;
}

} // namespace

CacheSettings ParseCacheSettings(std::string_view iniBytes) {
    return CacheSettingsOf(DecodeIni(iniBytes));
}

std::string JoinCachePath(const std::string& iniFolder, const std::string& cachePath) {
    const bool absolute = IsAbsolute(cachePath);
    std::string folder = absolute ? std::string() : iniFolder;
    std::string_view rest = cachePath;
    if (absolute) {
        // The root as written ("/", "\", "C:\", "C:"), then the names below it.
        std::size_t root = cachePath[0] == '/' || cachePath[0] == '\\' ? 0 : 2;
        while (root < cachePath.size() && IsSeparator(cachePath[root]))
            ++root;
        folder = cachePath.substr(0, root);
        rest.remove_prefix(root);
    }
    // New names get the separator the path already uses.
    char separator = '\\';
    if (const auto last = (absolute ? cachePath : iniFolder).find_last_of("\\/");
        last != std::string::npos)
        separator = (absolute ? cachePath : iniFolder)[last];
    if (!folder.empty() && !IsSeparator(folder.back()) && !(absolute && folder.size() == 2))
        folder += separator;

    std::size_t start = 0;
    while (start <= rest.size()) {
        std::size_t end = start;
        while (end < rest.size() && !IsSeparator(rest[end]))
            ++end;
        const std::string_view name = rest.substr(start, end - start);
        start = end + 1;
        if (name.empty() || name == ".")
            continue;
        if (name == "..") {
            if (DropLastName(folder) || IsAbsolute(folder))
                continue;
        }
        if (!folder.empty() && !IsSeparator(folder.back()))
            folder += separator;
        folder += name;
        folder += separator;
    }
    if (folder.empty() || !IsSeparator(folder.back()))
        folder += separator;
    return folder;
}

namespace {

// Another game's ini: the player's own copy for a native build, then the one beside the marker's
// program, by the game's ini names in order; none existing, the first name beside the first marker.
std::string OtherGameIniPath(const GameKind& game, const std::string& gameFolder) {
    const GameMarker* found = nullptr;
    const auto home = platform::HomeFolder();
    for (const GameMarker& marker : game.markers) {
        if (!Copier::FileExists(gameFolder + MarkerPath(marker)))
            continue;
        if (!found)
            found = &marker;
        if (!marker.native || !home)
            continue;
        for (const char* folder : game.homeSystemFolders) {
            for (const char* name : game.iniNames) {
                const std::string ini = *home + "/" + folder + "/" + name;
                if (Copier::FileExists(ini))
                    return ini;
            }
        }
    }
    const std::string system = std::string(found ? found->systemFolder : "System") + "\\";
    for (const char* name : game.iniNames) {
        if (Copier::FileExists(gameFolder + system + name))
            return gameFolder + system + name;
    }
    return gameFolder + system + game.iniNames.front();
}

std::string LastName(const std::string& folder) {
    const auto [start, end] = LastNameBounds(folder);
    return folder.substr(start, end - start);
}

} // namespace

namespace {

// The ini of the game already recognised in the folder (nullptr: none), so that the markers are
// looked up once.
std::string IniPathOf(const GameKind* game, const std::string& gameFolder) {
    if (game && game->id != GameId::UnrealTournament)
        return OtherGameIniPath(*game, gameFolder);
    const GameMarker* found = nullptr;
    for (const GameMarker& marker : GameMarkers) {
        if (!Copier::FileExists(gameFolder + MarkerPath(marker)))
            continue;
        if (!found)
            found = &marker;
        if (!marker.native)
            continue;
        for (const std::string& ini : HomeIniCandidates(marker)) {
            if (Copier::FileExists(ini))
                return ini;
        }
    }
    return gameFolder + (found ? found->systemFolder : "System") + "\\" + std::string(IniName);
}

} // namespace

std::string GameIniPath(const std::string& gameFolder) {
    return IniPathOf(GameAt(gameFolder), gameFolder);
}

CacheLocation LocateCache(const std::string& gameFolder) {
    CacheLocation location;
    location.game = GameAt(gameFolder);
    location.ini = IniPathOf(location.game, gameFolder);
    CacheSettings settings;
    // Only a regular file is read: a pipe or a device in its place could hang the start.
    if (Copier::FileExists(location.ini)) {
        if (const auto bytes = platform::ReadFileBytes(location.ini)) {
            const std::string text = DecodeIni(*bytes);
            settings = CacheSettingsOf(text);
            // Unreal Tournament keeps its fixed folders whatever its Paths say.
            if (location.game && location.game->id != GameId::UnrealTournament)
                location.claims = ClaimsOf(text, LastName(FolderOf(location.ini)));
        }
    }
    location.folder =
        JoinCachePath(FolderOf(location.ini), settings.cachePath.value_or(DefaultCachePath));
    location.ext = settings.cacheExt.value_or(DefaultCacheExt);
    return location;
}

void SettleCacheLocation() {
    const CacheLocation location = LocateCache(GameFolder);
    CacheFolder = location.folder;
    CacheExt = location.ext;
    SettledGame = location.game;
    SettledClaims = location.claims;
}

} // namespace UnrealMOD
