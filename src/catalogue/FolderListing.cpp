#include "catalogue/FolderListing.h"

#include "platform/Text.h"

namespace UnrealMOD {

bool FolderListing::Open(const std::string& path) {
    folder_ = platform::OpenFolder(path);
    if (!folder_)
        return false;
    const auto entries = platform::ReadFolder(*folder_);
    if (!entries) {
        folder_.reset();
        return false;
    }
    for (const platform::FolderEntry& entry : *entries)
        Add(entry.name, entry.regularFile);
    return true;
}

std::optional<std::string> FolderListing::Find(const std::string& name, bool filesOnly) const {
    const auto it = byKey_.find(platform::FileNameKey(name));
    if (it == byKey_.end())
        return std::nullopt;
    const std::pair<std::string, bool>* best = nullptr;
    for (const auto& candidate : it->second) {
        if (filesOnly && !candidate.second)
            continue;
        if (candidate.first == name)
            return name;
        if (!best || candidate.first < best->first)
            best = &candidate;
    }
    return best ? std::optional<std::string>(best->first) : std::nullopt;
}

void FolderListing::Add(const std::string& name, bool regularFile) {
    auto& names = byKey_[platform::FileNameKey(name)];
    for (auto& existing : names) {
        if (existing.first == name) {
            existing.second = regularFile;
            return;
        }
    }
    names.emplace_back(name, regularFile);
}

void FolderListing::Remove(const std::string& name) {
    const auto it = byKey_.find(platform::FileNameKey(name));
    if (it == byKey_.end())
        return;
    std::erase_if(it->second, [&](const auto& entry) { return entry.first == name; });
    if (it->second.empty())
        byKey_.erase(it);
}

} // namespace UnrealMOD
