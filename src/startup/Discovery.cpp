#include "startup/Discovery.h"

#include "platform/FileSystem.h"
#include "platform/Places.h"
#include "runtime/Copier.h"
#include "startup/GameInstall.h"

#include <algorithm>
#include <cctype>

namespace UnrealMOD {

namespace {

constexpr std::string_view InstallerKey =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Unreal Technology\\Installed Apps\\UnrealTournament";
constexpr std::string_view InstallerKey32 =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Unreal Technology\\Installed Apps\\"
    "UnrealTournament";

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

bool IsPathKey(const std::string& key) {
    return key.size() == 4 && std::tolower(static_cast<unsigned char>(key[0])) == 'p' &&
           std::tolower(static_cast<unsigned char>(key[1])) == 'a' &&
           std::tolower(static_cast<unsigned char>(key[2])) == 't' &&
           std::tolower(static_cast<unsigned char>(key[3])) == 'h';
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
        std::string game = WithSeparator(library, separator) + "steamapps" + separator + "common" +
                           separator + "Unreal Tournament" + separator;
        candidates.push_back(separator == '\\' ? AsWindowsWritesIt(game) : std::move(game));
    }
}

void AddHomePlaces(std::vector<std::string>& candidates) {
    const auto home = platform::HomeFolder();
    if (!home)
        return;
    const std::string h = *home == "/" ? std::string() : *home;
    const std::string localShare = h + "/.local/share";
    const std::string data = platform::DataHomeFolder().value_or(localShare);
    for (const std::string& share : {data, localShare})
        candidates.push_back(share + "/OldUnreal/UnrealTournament/");

    for (const std::string& steam :
         {data + "/Steam", localShare + "/Steam", h + "/.steam/steam", h + "/.steam/root",
          h + "/.var/app/com.valvesoftware.Steam/.local/share/Steam"})
        AddSteamGames(candidates, steam, '/');

    // Lutris installs into ~/Games/<name>, a native game as it is and a Windows one into a prefix
    // there; Heroic into ~/Games/Heroic/<title>, with its prefixes beside.
    const std::string games = h + "/Games/";
    for (const std::string& name : Subfolders(games)) {
        candidates.push_back(games + name + "/");
        candidates.push_back(games + name + "/drive_c/UnrealTournament/");
    }
    for (const std::string& name : Subfolders(games + "Heroic"))
        candidates.push_back(games + "Heroic/" + name + "/");
    for (const std::string& name : Subfolders(games + "Heroic/Prefixes"))
        candidates.push_back(games + "Heroic/Prefixes/" + name + "/drive_c/UnrealTournament/");

    candidates.push_back(h + "/.wine/drive_c/UnrealTournament/");
}

void AddRegisteredPlaces(std::vector<std::string>& candidates) {
    for (const std::string_view key : {InstallerKey, InstallerKey32}) {
        if (const auto folder = platform::RegistryString(std::string(key), "Folder"))
            candidates.push_back(AsWindowsWritesIt(*folder));
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
            const bool current = keys.size() == 2 && IsNumber(keys[1]) && IsPathKey(key);
            const bool older = keys.size() == 1 && IsNumber(key);
            if ((current || older) && !value.text.empty())
                libraries.push_back(value.text);
        } else {
            return libraries;
        }
    }
    return libraries;
}

std::vector<std::string> CandidateGameFolders() {
    std::vector<std::string> candidates;
    AddRegisteredPlaces(candidates);
    AddHomePlaces(candidates);
    return candidates;
}

std::optional<std::string> DiscoverGameFolder() {
    std::optional<std::string> found;
    std::optional<std::string> foundIdentity;
    for (const std::string& folder : CandidateGameFolders()) {
        if (!GameIsInstalledAt(folder))
            continue;
        const std::string identity = platform::CanonicalPath(folder).value_or(folder);
        if (!found) {
            found = folder;
            foundIdentity = identity;
        } else if (identity != *foundIdentity) {
            return std::nullopt; // two games: the player chooses
        }
    }
    return found;
}

} // namespace UnrealMOD
