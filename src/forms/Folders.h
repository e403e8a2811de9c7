#pragma once
// What the drive list and the directory list show, apart from drawing. Paths are Windows-style
// strings ("C:\", "C:\UnrealTournament": no trailing backslash except at a drive root); the disk
// is read through the platform layer.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace forms {

// "C:\anything" or "c:" -> 'c'; 0 when the text does not start with a drive.
char DriveLetter(std::string_view text);
// The machine's drives as the drive list shows them: "c:", "d:" ...
std::vector<std::string> DriveEntries();

// Lexical form of a folder path: drive letter upper-cased, '/' taken as '\', empty components
// dropped, '.' and '..' applied without climbing above the root. An empty drive when the text
// does not start with one.
struct DirPath {
    std::string drive; // "C:"
    std::vector<std::string> components;
    std::string Join() const;
    bool operator==(const DirPath&) const = default;
};
DirPath ParseDirPath(std::string_view text);

// One row of the directory list: the root, each folder down to the open one, then the folders
// directly below it.
struct DirRow {
    std::string label;
    std::string path;
    int depth = 0;
    bool open = false; // the root and the folders along the path
    bool operator==(const DirRow&) const = default;
};
struct Folder {
    std::string path; // spelled as the folders are on disk
    std::vector<DirRow> rows;
    int ancestorCount = 0;
    int current = 0; // row of the open folder
};
// Reads the folder: each component is matched on disk (exact spelling first, then without
// regard to case). nullopt when the text names no drive or a folder that is missing or cannot
// be read.
std::optional<Folder> ReadFolder(std::string_view text);

} // namespace forms
