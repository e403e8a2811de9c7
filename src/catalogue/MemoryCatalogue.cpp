#include "catalogue/Catalogue.h"

namespace UnrealMOD {

void MemoryCatalogue::Clear() {
    rows.clear();
}

void MemoryCatalogue::AppendRows(const std::vector<CatalogueRow>& more) {
    rows.insert(rows.end(), more.begin(), more.end());
}

int MemoryCatalogue::RowCount() const {
    return static_cast<int>(rows.size());
}

CatalogueRow MemoryCatalogue::Row(int r) const {
    return rows.at(static_cast<std::size_t>(r));
}

void MemoryCatalogue::SetCopied(int r, const std::string& state) {
    rows.at(static_cast<std::size_t>(r)).copied = state;
}

void MemoryCatalogue::SetNumFilesText(const std::string& text) {
    numFiles = text;
}
void MemoryCatalogue::SetOnesToTransferText(const std::string& text) {
    onesToTransfer = text;
}
std::string MemoryCatalogue::NumFilesText() const {
    return numFiles;
}
std::string MemoryCatalogue::OnesToTransferText() const {
    return onesToTransfer;
}

} // namespace UnrealMOD
