#include "startup/Discovery.h"

#include "platform/FileSystem.h"
#include "platform/Places.h"
#include "runtime/Copier.h"
#include "startup/GameInstall.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <span>

namespace UnrealMOD {

namespace {

// Where each game's installers and stores put it. Names marked "unsure" could not be confirmed
// against a release; looking in one more place costs nothing when it is wrong.
struct InstallPlaces {
    GameId game;
    std::span<const char* const> steamApps;     // app ids: appmanifest_<id>.acf names the folder
    std::span<const char* const> steamFolders;  // under <library>/steamapps/common
    std::span<const char* const> installedApps; // keys under ...\Unreal Technology\Installed Apps
    std::span<const char* const> dataFolders;   // the native installers', under the data home
    std::span<const char* const> driveCFolders; // the Windows installers' default, on C:
};

constexpr std::array<const char*, 1> UTAppIds{"13240"};
constexpr std::array<const char*, 1> UTSteam{"Unreal Tournament"};
constexpr std::array<const char*, 1> UTApps{"UnrealTournament"};
constexpr std::array<const char*, 1> UTData{"OldUnreal/UnrealTournament"};
constexpr std::array<const char*, 1> UTDriveC{"UnrealTournament"};
constexpr std::array<const char*, 1> UT2004AppIds{"13230"};
constexpr std::array<const char*, 1> UT2004Steam{"Unreal Tournament 2004"};
constexpr std::array<const char*, 1> UT2004Apps{"UT2004"};
constexpr std::array<const char*, 1> UT2004Data{"OldUnreal/UT2004"};
constexpr std::array<const char*, 2> UT2004DriveC{"UT2004", "UnrealTournament2004"};
constexpr std::array<const char*, 1> UT2003Apps{"UT2003"};
constexpr std::array<const char*, 1> UT2003DriveC{"UT2003"};
constexpr std::array<const char*, 1> UnrealAppIds{"13250"};
constexpr std::array<const char*, 1> UnrealSteam{"Unreal Gold"};
constexpr std::array<const char*, 2> UnrealApps{"Unreal Gold", "Unreal"}; // unsure: "Unreal"
constexpr std::array<const char*, 2> UnrealData{"OldUnreal/UnrealGold",
                                                "OldUnreal/Unreal"}; // unsure: "Unreal"
constexpr std::array<const char*, 2> UnrealDriveC{"Unreal", "UnrealGold"};
constexpr std::array<const char*, 1> KillingFloorAppIds{"1250"};
constexpr std::array<const char*, 1> KillingFloorSteam{"KillingFloor"};
constexpr std::array<const char*, 1> RuneAppIds{"210950"};      // unsure
constexpr std::array<const char*, 1> RuneSteam{"Rune Classic"}; // unsure
constexpr std::array<const char*, 1> RuneDriveC{"Rune"};
constexpr std::array<const char*, 1> TacticalOpsDriveC{"TacticalOps"}; // unsure

// Unreal Tournament first: its places are looked at first, as they always were.
constexpr std::array<InstallPlaces, 7> Places{{
    {GameId::UnrealTournament, UTAppIds, UTSteam, UTApps, UTData, UTDriveC},
    {GameId::UT2004, UT2004AppIds, UT2004Steam, UT2004Apps, UT2004Data, UT2004DriveC},
    {GameId::UT2003, {}, {}, UT2003Apps, {}, UT2003DriveC},
    {GameId::Unreal, UnrealAppIds, UnrealSteam, UnrealApps, UnrealData, UnrealDriveC},
    {GameId::KillingFloor, KillingFloorAppIds, KillingFloorSteam, {}, {}, {}},
    {GameId::Rune, RuneAppIds, RuneSteam, {}, {}, RuneDriveC},
    {GameId::TacticalOps, {}, {}, {}, {}, TacticalOpsDriveC},
}};

// Every game's default folder on C: of a Wine prefix (drive_c ends in a separator).
void AddDriveCFolders(std::vector<std::string>& candidates, const std::string& driveC) {
    for (const InstallPlaces& game : Places)
        for (const char* folder : game.driveCFolders)
            candidates.push_back(driveC + folder + "/");
}

// A token of the text format Steam keeps its lists in: a quoted or bare string, or a brace.
struct VdfToken {
    enum Kind { Text, Open, Close, End } kind = End;
    std::string text;
};

class VdfReader {
public:
    explicit VdfReader(std::string_view text) : text_(text) {}

    VdfToken Next() {
        SkipBlanksAndComments();
        if (pos_ >= text_.size())
            return {};
        const char c = text_[pos_];
        if (c == '{' || c == '}') {
            ++pos_;
            return {c == '{' ? VdfToken::Open : VdfToken::Close, {}};
        }
        VdfToken token{VdfToken::Text, {}};
        if (c == '"') {
            ++pos_;
            while (pos_ < text_.size() && text_[pos_] != '"') {
                char d = text_[pos_++];
                if (d == '\\' && pos_ < text_.size()) {
                    d = text_[pos_++];
                    d = d == 'n' ? '\n' : d == 't' ? '\t' : d;
                }
                token.text += d;
            }
            if (pos_ < text_.size())
                ++pos_; // the closing quote
        } else {
            while (pos_ < text_.size() && !IsBlank(text_[pos_]) && text_[pos_] != '{' &&
                   text_[pos_] != '}' && text_[pos_] != '"')
                token.text += text_[pos_++];
        }
        return token;
    }

private:
    static bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
    void SkipBlanksAndComments() {
        for (;;) {
            while (pos_ < text_.size() && IsBlank(text_[pos_]))
                ++pos_;
            if (text_.substr(pos_).starts_with("//")) {
                const std::size_t end = text_.find('\n', pos_);
                pos_ = end == std::string_view::npos ? text_.size() : end;
                continue;
            }
            return;
        }
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

bool IsNumber(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c));
    });
}

std::string WithSeparator(std::string folder, char separator) {
    if (folder.empty() || (folder.back() != '\\' && folder.back() != '/'))
        folder += separator;
    return folder;
}

// A folder read from the registry or from Steam's files as Windows itself writes it (Steam writes
// "c:/program files (x86)/steam"): backslashes, the folders spelled as on disk, the drive letter
// in capitals, one trailing backslash. It is what the settings file keeps.
std::string AsWindowsWritesIt(const std::string& folder) {
    std::string shown = platform::ShownPath(folder);
    for (char& c : shown)
        if (c == '/')
            c = '\\';
    if (shown.size() >= 2 && shown[1] == ':' && shown[0] >= 'a' && shown[0] <= 'z')
        shown[0] = static_cast<char>(shown[0] - 'a' + 'A');
    while (!shown.empty() && shown.back() == '\\')
        shown.pop_back();
    return shown + '\\';
}

std::vector<std::string> Subfolders(const std::string& folder) {
    return platform::ListSubfolders(folder).value_or(std::vector<std::string>());
}

std::optional<std::string> ReadIfFile(const std::string& path) {
    if (!Copier::FileExists(path))
        return std::nullopt;
    return platform::ReadFileBytes(path);
}

// The Steam installation's own folder is a library too, also when its list is missing.
void AddSteamGames(std::vector<std::string>& candidates, const std::string& steam, char separator) {
    std::vector<std::string> libraries{steam};
    const std::string root = WithSeparator(steam, separator);
    if (const auto vdf = ReadIfFile(root + "steamapps" + separator + "libraryfolders.vdf")) {
        for (std::string& library : SteamLibraryFolders(*vdf))
            libraries.push_back(std::move(library));
    }
    for (const std::string& library : libraries) {
        const std::string apps = WithSeparator(library, separator) + "steamapps" + separator;
        const std::string common = apps + "common" + separator;
        const auto add = [&](const std::string& folder) {
            std::string path = common + folder + separator;
            candidates.push_back(separator == '\\' ? AsWindowsWritesIt(path) : std::move(path));
        };
        for (const InstallPlaces& game : Places) {
            // The app's manifest names the folder Steam really installed it in.
            for (const char* id : game.steamApps) {
                const auto acf = ReadIfFile(apps + "appmanifest_" + id + ".acf");
                if (const auto folder = acf ? SteamInstallFolder(*acf) : std::nullopt)
                    add(*folder);
            }
            for (const char* folder : game.steamFolders)
                add(folder);
        }
    }
}

void AddHomePlaces(std::vector<std::string>& candidates) {
    const auto home = platform::HomeFolder();
    if (!home)
        return;
    const std::string h = *home == "/" ? std::string() : *home;
    const std::string localShare = h + "/.local/share";
    const std::string data = platform::DataHomeFolder().value_or(localShare);
    for (const InstallPlaces& game : Places)
        for (const char* folder : game.dataFolders)
            for (const std::string& share : {data, localShare})
                candidates.push_back(share + "/" + folder + "/");

    for (const std::string& steam :
         {data + "/Steam", localShare + "/Steam", h + "/.steam/steam", h + "/.steam/root",
          h + "/.var/app/com.valvesoftware.Steam/.local/share/Steam"})
        AddSteamGames(candidates, steam, '/');

    // Lutris installs into ~/Games/<name>, a native game as it is and a Windows one into a prefix
    // there; Heroic into ~/Games/Heroic/<title>, with its prefixes beside.
    const std::string games = h + "/Games/";
    for (const std::string& name : Subfolders(games)) {
        candidates.push_back(games + name + "/");
        AddDriveCFolders(candidates, games + name + "/drive_c/");
    }
    for (const std::string& name : Subfolders(games + "Heroic"))
        candidates.push_back(games + "Heroic/" + name + "/");
    for (const std::string& name : Subfolders(games + "Heroic/Prefixes"))
        AddDriveCFolders(candidates, games + "Heroic/Prefixes/" + name + "/drive_c/");

    AddDriveCFolders(candidates, h + "/.wine/drive_c/");
}

void AddRegisteredPlaces(std::vector<std::string>& candidates) {
    for (const InstallPlaces& game : Places) {
        for (const char* app : game.installedApps) {
            for (const char* software : {"SOFTWARE\\", "SOFTWARE\\WOW6432Node\\"}) {
                const std::string key = std::string("HKEY_LOCAL_MACHINE\\") + software +
                                        "Unreal Technology\\Installed Apps\\" + app;
                if (const auto folder = platform::RegistryString(key, "Folder"))
                    candidates.push_back(AsWindowsWritesIt(*folder));
            }
        }
    }
    const std::pair<const char*, const char*> steamKeys[] = {
        {"HKEY_CURRENT_USER\\Software\\Valve\\Steam", "SteamPath"},
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Valve\\Steam", "InstallPath"},
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Valve\\Steam", "InstallPath"}};
    for (const auto& [key, value] : steamKeys) {
        if (const auto steam = platform::RegistryString(key, value))
            AddSteamGames(candidates, *steam, '\\');
    }
}

} // namespace

std::vector<std::string> SteamLibraryFolders(std::string_view vdf) {
    std::vector<std::string> libraries;
    VdfReader reader(vdf);
    std::vector<std::string> keys; // the keys of the open blocks
    for (VdfToken token = reader.Next(); token.kind != VdfToken::End; token = reader.Next()) {
        if (token.kind == VdfToken::Close) {
            if (keys.empty())
                return libraries; // unbalanced: what was read so far stands
            keys.pop_back();
            continue;
        }
        if (token.kind == VdfToken::Open)
            return libraries; // a block without a key: not a list we know
        const std::string key = std::move(token.text);
        const VdfToken value = reader.Next();
        if (value.kind == VdfToken::Open) {
            keys.push_back(key);
        } else if (value.kind == VdfToken::Text) {
            const bool current =
                keys.size() == 2 && IsNumber(keys[1]) && EqualIgnoringAsciiCase(key, "path");
            const bool older = keys.size() == 1 && IsNumber(key);
            if ((current || older) && !value.text.empty())
                libraries.push_back(value.text);
        } else {
            return libraries;
        }
    }
    return libraries;
}

std::optional<std::string> SteamInstallFolder(std::string_view acf) {
    VdfReader reader(acf);
    int depth = 0;
    for (VdfToken token = reader.Next(); token.kind != VdfToken::End; token = reader.Next()) {
        if (token.kind != VdfToken::Text) {
            depth += token.kind == VdfToken::Open ? 1 : -1;
            if (depth < 0)
                return std::nullopt;
            continue;
        }
        const VdfToken value = reader.Next();
        if (value.kind == VdfToken::Open) {
            ++depth;
        } else if (value.kind != VdfToken::Text) {
            return std::nullopt;
        } else if (depth == 1 && EqualIgnoringAsciiCase(token.text, "installdir")) {
            // One folder name under steamapps/common, never a way out of it.
            const std::string& name = value.text;
            if (name.empty() || name == "." || name == ".." ||
                name.find_first_of("/\\:") != std::string::npos)
                return std::nullopt;
            return name;
        }
    }
    return std::nullopt;
}

std::vector<std::string> CandidateGameFolders() {
    std::vector<std::string> candidates;
    AddRegisteredPlaces(candidates);
    AddHomePlaces(candidates);
    return candidates;
}

std::optional<std::string> DiscoverGameFolder() {
    struct Found {
        std::string folder;
        std::string identity;
        bool unrealTournament;
    };
    std::vector<Found> found;
    for (const std::string& folder : CandidateGameFolders()) {
        const GameKind* game = GameAt(folder);
        if (!game)
            continue;
        std::string identity = platform::CanonicalPath(folder).value_or(folder);
        if (std::none_of(found.begin(), found.end(),
                         [&](const Found& f) { return f.identity == identity; }))
            found.push_back({folder, std::move(identity), game->id == GameId::UnrealTournament});
    }
    // Unreal Tournament is what this program was first made for: one copy of it wins over the
    // other games; two of anything leave the choice to the player.
    const auto uts = std::count_if(found.begin(), found.end(),
                                   [](const Found& f) { return f.unrealTournament; });
    if (uts == 1)
        return std::find_if(found.begin(), found.end(),
                            [](const Found& f) { return f.unrealTournament; })
            ->folder;
    if (uts == 0 && found.size() == 1)
        return found.front().folder;
    return std::nullopt;
}

} // namespace UnrealMOD
