#pragma once
// The catalogue's four columns held compactly, for a window that may show an index of a million
// entries: the names of each column in one block of bytes, the destination folder and the copied
// state (a handful of distinct texts) as small numbers. A row costs its names' bytes and a few
// words, not four strings and the objects of four list boxes.

#include "catalogue/Catalogue.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace UnrealMOD {

enum class CatalogueColumn { FileName, CacheName, Destination, Copied };

class CatalogueStore {
public:
    void Clear();
    void Append(const CatalogueRow& row);
    int Rows() const { return static_cast<int>(copied_.ids.size()); }
    // Rows outside the store read as empty cells.
    std::string_view Cell(CatalogueColumn column, int r) const;
    CatalogueRow Row(int r) const;
    // False for a row outside the store.
    bool SetCopied(int r, std::string_view state);

private:
    // Texts laid end to end; ends[r] is where row r's text ends.
    struct Texts {
        std::string bytes;
        std::vector<std::uint64_t> ends;
        void Append(std::string_view text);
        std::string_view At(std::size_t r) const;
    };
    // Each distinct text once; a number per row.
    struct Values {
        std::vector<std::string> texts;
        std::unordered_map<std::string, std::uint32_t> numbers;
        std::vector<std::uint32_t> ids;
        std::uint32_t Number(std::string_view text);
        std::string_view At(std::size_t r) const { return texts[ids[r]]; }
    };

    bool Holds(int r) const { return r >= 0 && r < Rows(); }

    Texts fileNames_, cacheNames_;
    Values destinations_, copied_;
};

} // namespace UnrealMOD
