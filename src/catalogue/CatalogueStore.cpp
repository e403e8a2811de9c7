#include "catalogue/CatalogueStore.h"

namespace UnrealMOD {

void CatalogueStore::Texts::Append(std::string_view text) {
    bytes.append(text);
    ends.push_back(bytes.size());
}

std::string_view CatalogueStore::Texts::At(std::size_t r) const {
    const std::uint64_t from = r == 0 ? 0 : ends[r - 1];
    return std::string_view(bytes).substr(from, ends[r] - from);
}

std::uint32_t CatalogueStore::Values::Number(std::string_view text) {
    const std::string key(text);
    if (const auto found = numbers.find(key); found != numbers.end())
        return found->second;
    const auto number = static_cast<std::uint32_t>(texts.size());
    texts.push_back(key);
    numbers.emplace(key, number);
    return number;
}

void CatalogueStore::Clear() {
    // Swapped with empty ones, so a large catalogue's memory is given back.
    *this = CatalogueStore();
}

void CatalogueStore::Append(const CatalogueRow& row) {
    fileNames_.Append(row.fileName);
    cacheNames_.Append(row.cacheName);
    destinations_.ids.push_back(destinations_.Number(row.destination));
    copied_.ids.push_back(copied_.Number(row.copied));
}

std::string_view CatalogueStore::Cell(CatalogueColumn column, int r) const {
    if (!Holds(r))
        return {};
    const auto row = static_cast<std::size_t>(r);
    switch (column) {
    case CatalogueColumn::FileName:
        return fileNames_.At(row);
    case CatalogueColumn::CacheName:
        return cacheNames_.At(row);
    case CatalogueColumn::Destination:
        return destinations_.At(row);
    case CatalogueColumn::Copied:
        return copied_.At(row);
    }
    return {};
}

CatalogueRow CatalogueStore::Row(int r) const {
    return {std::string(Cell(CatalogueColumn::FileName, r)),
            std::string(Cell(CatalogueColumn::CacheName, r)),
            std::string(Cell(CatalogueColumn::Destination, r)),
            std::string(Cell(CatalogueColumn::Copied, r))};
}

bool CatalogueStore::SetCopied(int r, std::string_view state) {
    if (!Holds(r))
        return false;
    copied_.ids[static_cast<std::size_t>(r)] = copied_.Number(state);
    return true;
}

} // namespace UnrealMOD
