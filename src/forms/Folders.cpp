#include "forms/Folders.h"

#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace forms {

namespace {

// The on-disk spelling of a sub-folder: an exact match first, otherwise the first one equal
// under case folding.
std::optional<std::string> MatchFolder(const std::vector<std::string>& folders,
                                       const std::string& name) {
    for (const std::string& f : folders)
        if (f == name)
            return f;
    const std::string key = platform::FileNameKey(name);
    for (const std::string& f : folders)
        if (platform::FileNameKey(f) == key)
            return f;
    return std::nullopt;
}

} // namespace

char DriveLetter(std::string_view text) {
    if (text.size() < 2 || text[1] != ':')
        return 0;
    const char c = text[0];
    if (c >= 'A' && c <= 'Z')
        return char(c - 'A' + 'a');
    if (c >= 'a' && c <= 'z')
        return c;
    return 0;
}

std::vector<std::string> DriveEntries() {
    std::vector<std::string> entries;
    for (const std::string& name : platform::LogicalDrives())
        if (const char letter = DriveLetter(name))
            entries.push_back(std::string(1, letter) + ":");
    return entries;
}

std::string DirPath::Join() const {
    if (drive.empty())
        return {};
    std::string joined = drive + "\\";
    for (std::size_t i = 0; i < components.size(); ++i) {
        if (i > 0)
            joined += '\\';
        joined += components[i];
    }
    return joined;
}

DirPath ParseDirPath(std::string_view text) {
    DirPath result;
    const char letter = DriveLetter(text);
    if (!letter)
        return result;
    result.drive = std::string(1, char(letter - 'a' + 'A')) + ":";
    std::string part;
    const auto finish = [&] {
        if (part.empty() || part == ".") {
        } else if (part == "..") {
            if (!result.components.empty())
                result.components.pop_back();
        } else {
            result.components.push_back(part);
        }
        part.clear();
    };
    for (const char c : text.substr(2)) {
        if (c == '\\' || c == '/')
            finish();
        else
            part += c;
    }
    finish();
    return result;
}

std::optional<Folder> ReadFolder(std::string_view text) {
    const DirPath parsed = ParseDirPath(text);
    if (parsed.drive.empty())
        return std::nullopt;

    // Walk down from the root, taking each folder's spelling from the disk.
    DirPath found{parsed.drive, {}};
    auto below = platform::ListSubfolders(found.Join());
    for (const std::string& part : parsed.components) {
        if (!below)
            return std::nullopt;
        const auto name = MatchFolder(*below, part);
        if (!name)
            return std::nullopt;
        found.components.push_back(*name);
        below = platform::ListSubfolders(found.Join());
    }
    if (!below)
        return std::nullopt;

    Folder folder;
    folder.path = found.Join();
    DirPath walk{found.drive, {}};
    folder.rows.push_back({walk.Join(), walk.Join(), 0, true});
    for (const std::string& part : found.components) {
        walk.components.push_back(part);
        folder.rows.push_back({part, walk.Join(), int(walk.components.size()), true});
    }
    folder.ancestorCount = int(folder.rows.size());
    folder.current = folder.ancestorCount - 1;
    for (const std::string& name : *below) {
        DirPath sub = walk;
        sub.components.push_back(name);
        folder.rows.push_back({name, sub.Join(), folder.ancestorCount, false});
    }
    return folder;
}

} // namespace forms
