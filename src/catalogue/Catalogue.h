#pragma once
// The catalogue: four parallel columns (real file name, cache name, destination folder, copied
// state) and the two count boxes. The main window implements it with its list boxes; the logic
// only ever sees this interface.

#include <string>
#include <vector>

namespace UnrealMOD {

struct CatalogueRow {
    std::string fileName;
    std::string cacheName;
    std::string destination;
    std::string copied;
    bool operator==(const CatalogueRow&) const = default;
};

class CatalogueColumns {
public:
    virtual ~CatalogueColumns() = default;
    virtual void Clear() = 0;
    // Appends rows at the end of all four columns, in order.
    virtual void AppendRows(const std::vector<CatalogueRow>& rows) = 0;
    virtual int RowCount() const = 0;
    virtual CatalogueRow Row(int r) const = 0;
    virtual void SetCopied(int r, const std::string& state) = 0;
    virtual void SetNumFilesText(const std::string& text) = 0;
    virtual void SetOnesToTransferText(const std::string& text) = 0;
    virtual std::string NumFilesText() const = 0;
    virtual std::string OnesToTransferText() const = 0;
};

// A catalogue held in memory: for tests, benchmarks and anything without a window.
class MemoryCatalogue : public CatalogueColumns {
public:
    void Clear() override;
    void AppendRows(const std::vector<CatalogueRow>& rows) override;
    int RowCount() const override;
    CatalogueRow Row(int r) const override;
    void SetCopied(int r, const std::string& state) override;
    void SetNumFilesText(const std::string& text) override;
    void SetOnesToTransferText(const std::string& text) override;
    std::string NumFilesText() const override;
    std::string OnesToTransferText() const override;

    std::vector<CatalogueRow> rows;
    std::string numFiles = "Error";
    std::string onesToTransfer = "Error";
};

} // namespace UnrealMOD
