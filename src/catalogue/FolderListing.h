#pragma once
// A folder of the game listed once: finding a name in it costs the same however full it is, and
// the lookup follows the file system's rule for letter case. Whoever changes the folder keeps
// the listing up to date with Add and Remove.

#include "platform/FileSystem.h"

#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace UnrealMOD {

class FolderListing {
public:
    // False when the folder cannot be opened or read to its end.
    bool Open(const std::string& path);
    bool Opened() const { return folder_.has_value(); }
    const platform::Folder& Location() const { return *folder_; }

    // The name the directory search gives `name`: the exact name when it is there, otherwise the
    // match without regard to letter case that sorts first. filesOnly: regular files only.
    std::optional<std::string> Find(const std::string& name, bool filesOnly) const;
    void Add(const std::string& name, bool regularFile);
    void Remove(const std::string& name);

private:
    std::optional<platform::Folder> folder_;
    std::unordered_map<std::string, std::vector<std::pair<std::string, bool>>> byKey_;
};

} // namespace UnrealMOD
