#include "runtime/Games.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace UnrealMOD {

const GameKind* SettledGame = nullptr;
std::vector<ClaimedPath> SettledClaims;

namespace {

// Markers past the Windows executables follow the native builds' read-mes as far as we know
// them; the ones marked "unsure" are names we could not confirm against a release.
constexpr std::array<GameMarker, 6> UT2004Markers{{
    {"System", "UT2004.exe", false},
    {"System", "ut2004-bin", true},
    {"System", "ut2004-bin-linux-amd64", true},
    {"System", "UT2004", true},   // the maintained patch's program
    {"System64", "UT2004", true}, // unsure: the patch's installer keeps amd64 in System
    {"SystemARM64", "UT2004", true},
}};
constexpr std::array<GameMarker, 2> UT2003Markers{{
    {"System", "UT2003.exe", false},
    {"System", "ut2003-bin", true},
}};
constexpr std::array<GameMarker, 6> UnrealMarkers{{
    {"System", "Unreal.exe", false},
    {"System64", "unreal-bin-amd64", true},
    {"SystemARM64", "unreal-bin-arm64", true},
    {"System", "unreal-bin-x86", true},
    {"System64", "UnrealLinux.bin", true}, // unsure: older 227 Linux builds
    {"System", "UnrealLinux.bin", true},   // unsure
}};
constexpr std::array<GameMarker, 2> KillingFloorMarkers{{
    {"System", "KillingFloor.exe", false},
    {"System", "killingfloor-bin", true},
}};
constexpr std::array<GameMarker, 1> RuneMarkers{{
    {"System", "Rune.exe", false},
}};
constexpr std::array<GameMarker, 1> TacticalOpsMarkers{{
    {"System", "TacticalOps.exe", false}, // unsure: the stand-alone release's executable
}};

constexpr std::array<const char*, 1> UTInis{"UnrealTournament.ini"};
constexpr std::array<const char*, 1> UT2004Inis{"UT2004.ini"};
constexpr std::array<const char*, 1> UT2003Inis{"UT2003.ini"};
constexpr std::array<const char*, 2> UnrealInis{"Unreal.ini", "UnrealLinux.ini"};
constexpr std::array<const char*, 1> KillingFloorInis{"KillingFloor.ini"};
constexpr std::array<const char*, 1> RuneInis{"Rune.ini"};
constexpr std::array<const char*, 1> TacticalOpsInis{"TacticalOps.ini"};

// Unreal Tournament's home folders are chosen by its own rules (GameInstall.cpp).
constexpr std::array<const char*, 1> UT2004Home{".ut2004/System"};
constexpr std::array<const char*, 1> UT2003Home{".ut2003/System"};
constexpr std::array<const char*, 1> KillingFloorHome{".killingfloor/System"};
constexpr std::array<const char*, 1> UnrealHome{".Unreal/System"}; // 227's preference folder

constexpr std::array<DestinationRule, 4> UTTable{
    {{".unr", "Maps"}, {".utx", "Textures"}, {".uax", "Sounds"}, {".umx", "Music"}}};
constexpr std::array<DestinationRule, 6> UT2004Table{{{".ut2", "Maps"},
                                                      {".utx", "Textures"},
                                                      {".uax", "Sounds"},
                                                      {".umx", "Music"},
                                                      {".usx", "StaticMeshes"},
                                                      {".ukx", "Animations"}}};
constexpr std::array<DestinationRule, 6> KillingFloorTable{{{".rom", "Maps"},
                                                            {".utx", "Textures"},
                                                            {".uax", "Sounds"},
                                                            {".umx", "Music"},
                                                            {".usx", "StaticMeshes"},
                                                            {".ukx", "Animations"}}};
constexpr std::array<DestinationRule, 5> UnrealTable{{{".unr", "Maps"},
                                                      {".utx", "Textures"},
                                                      {".uax", "Sounds"},
                                                      {".umx", "Music"},
                                                      {".usm", "Meshes"}}};
// Unsure past maps, textures, sounds and music: ".ums" meshes as we remember its default ini.
constexpr std::array<DestinationRule, 5> RuneTable{{{".run", "Maps"},
                                                    {".utx", "Textures"},
                                                    {".uax", "Sounds"},
                                                    {".umx", "Music"},
                                                    {".ums", "Meshes"}}};

constexpr std::array<GameKind, 7> Table{{
    {GameId::UnrealTournament,
     "Unreal Tournament",
     GameMarkers,
     UTInis,
     {},
     UTTable,
     "Help\\UnrealTournamentLogo.bmp"},
    {GameId::UT2004, "Unreal Tournament 2004", UT2004Markers, UT2004Inis, UT2004Home, UT2004Table,
     "Help\\UT2004Logo.bmp"},
    {GameId::UT2003, "Unreal Tournament 2003", UT2003Markers, UT2003Inis, UT2003Home, UT2004Table,
     "Help\\UT2003Logo.bmp"},
    {GameId::Unreal, "Unreal", UnrealMarkers, UnrealInis, UnrealHome, UnrealTable,
     "Help\\UnrealLogo.bmp"},
    {GameId::KillingFloor, "Killing Floor", KillingFloorMarkers, KillingFloorInis, KillingFloorHome,
     KillingFloorTable, "Help\\KillingFloorLogo.bmp"},
    {GameId::Rune, "Rune", RuneMarkers, RuneInis, {}, RuneTable, "Help\\RuneLogo.bmp"},
    {GameId::TacticalOps,
     "Tactical Ops",
     TacticalOpsMarkers,
     TacticalOpsInis,
     {},
     UTTable,
     "Help\\TacticalOpsLogo.bmp"},
}};

// The languages the engine's localisation files come in; like code they stay in the cache.
constexpr std::array<std::string_view, 8> LanguageExts{".int", ".det", ".est", ".frt",
                                                       ".itt", ".kot", ".smt", ".tmt"};

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

// "Paths" or "Paths[n]", without regard to letter case.
bool IsPathsKey(std::string_view key) {
    if (key.size() < 5 || !EqualIgnoringAsciiCase(key.substr(0, 5), "paths"))
        return false;
    key.remove_prefix(5);
    if (key.empty())
        return true;
    if (key.size() < 3 || key.front() != '[' || key.back() != ']')
        return false;
    key = key.substr(1, key.size() - 2);
    return std::all_of(key.begin(), key.end(),
                       [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

bool HasWildcard(std::string_view text) {
    return text.find_first_of("*?") != std::string_view::npos;
}

} // namespace

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string_view Trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::span<const GameKind> Games() {
    return Table;
}

const GameKind& GameById(GameId id) {
    for (const GameKind& game : Table) {
        if (game.id == id)
            return game;
    }
    return Table.front();
}

const GameKind& CurrentGame() {
    return SettledGame ? *SettledGame : Table.front();
}

std::vector<IniEntry> CoreSystemEntries(std::string_view iniText) {
    std::vector<IniEntry> entries;
    bool inSection = false;
    std::size_t start = 0;
    while (start < iniText.size()) {
        std::size_t end = iniText.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            end = iniText.size();
        const std::string_view line = Trimmed(iniText.substr(start, end - start));
        start = end + 1;
        if (line.starts_with('[')) {
            if (inSection)
                break; // only the first [Core.System] counts
            inSection = line.ends_with(']') && EqualIgnoringAsciiCase(line, "[core.system]");
            continue;
        }
        const std::size_t equals = line.find('=');
        if (inSection && equals != std::string_view::npos)
            entries.push_back({Trimmed(line.substr(0, equals)), Trimmed(line.substr(equals + 1))});
    }
    return entries;
}

std::vector<std::string> PathsEntries(std::string_view iniText) {
    std::vector<std::string> paths;
    for (const IniEntry& entry : CoreSystemEntries(iniText))
        if (IsPathsKey(entry.key))
            paths.emplace_back(entry.value);
    return paths;
}

std::optional<ClaimedPath> ClaimOf(std::string_view entry, std::string_view systemFolder) {
    entry = Trimmed(entry);
    if (entry.size() >= 2 && entry.front() == '"' && entry.back() == '"')
        entry = entry.substr(1, entry.size() - 2);
    if (entry.empty() || IsSeparator(entry.front()))
        return std::nullopt;
    for (const char c : entry) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F || c == ':')
            return std::nullopt; // a drive, or bytes no folder name holds
    }
    std::size_t lastSeparator = entry.find_last_of("\\/");
    const std::string_view pattern =
        lastSeparator == std::string_view::npos ? entry : entry.substr(lastSeparator + 1);
    const std::size_t dot = pattern.rfind('.');
    if (!HasWildcard(pattern) || dot == std::string_view::npos)
        return std::nullopt;
    const std::string_view ext = pattern.substr(dot);
    if (ext.size() < 2 || HasWildcard(ext))
        return std::nullopt;

    // The folder, walked from the ini's System folder, must stay inside the game folder.
    std::vector<std::string_view> folder{systemFolder};
    std::string_view rest = lastSeparator == std::string_view::npos
                                ? std::string_view()
                                : entry.substr(0, lastSeparator);
    while (!rest.empty()) {
        std::size_t cut = 0;
        while (cut < rest.size() && !IsSeparator(rest[cut]))
            ++cut;
        const std::string_view name = Trimmed(rest.substr(0, cut));
        rest.remove_prefix(std::min(cut + 1, rest.size()));
        if (name.empty() || name == ".")
            continue;
        if (HasWildcard(name))
            return std::nullopt;
        if (name == "..") {
            if (folder.empty())
                return std::nullopt;
            folder.pop_back();
            continue;
        }
        folder.push_back(name);
    }
    if (folder.empty())
        return std::nullopt; // the game folder itself holds no packages
    ClaimedPath claim{Lower(ext), {}};
    for (const std::string_view name : folder) {
        if (!claim.folder.empty())
            claim.folder += '\\';
        claim.folder += name;
    }
    return claim;
}

std::vector<ClaimedPath> ClaimsOf(std::string_view iniText, std::string_view systemFolder) {
    std::vector<ClaimedPath> claims;
    for (const std::string& entry : PathsEntries(iniText)) {
        if (auto claim = ClaimOf(entry, systemFolder))
            claims.push_back(std::move(*claim));
    }
    return claims;
}

bool IsLanguageFile(const GameKind& game, std::string_view ext) {
    if (game.id == GameId::UnrealTournament)
        return ext == ".int";
    return std::find(LanguageExts.begin(), LanguageExts.end(), ext) != LanguageExts.end();
}

std::string GameDestinationFor(const GameKind& game, const std::vector<ClaimedPath>& claims,
                               std::string_view fileName) {
    const std::size_t dot = fileName.rfind('.');
    if (dot == std::string_view::npos || dot + 1 == fileName.size())
        return "Unknown File";
    const std::string ext = Lower(fileName.substr(dot));
    if (ext == ".u" || IsLanguageFile(game, ext))
        return "System";
    for (const ClaimedPath& claim : claims) {
        if (claim.ext == ext)
            return claim.folder;
    }
    for (const DestinationRule& rule : game.destinations) {
        if (ext == rule.ext)
            return rule.folder;
    }
    return "Unknown File";
}

} // namespace UnrealMOD
