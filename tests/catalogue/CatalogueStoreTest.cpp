#include "catalogue/CatalogueStore.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using UnrealMOD::CatalogueColumn;
using UnrealMOD::CatalogueRow;
using UnrealMOD::CatalogueStore;

// The store must read back exactly what a plain vector of rows holds, cell by cell.
void ExpectSame(const CatalogueStore& store, const std::vector<CatalogueRow>& rows) {
    ASSERT_EQ(store.Rows(), int(rows.size()));
    for (int r = 0; r < store.Rows(); ++r) {
        const CatalogueRow& want = rows[std::size_t(r)];
        ASSERT_EQ(store.Row(r), want) << "row " << r;
        EXPECT_EQ(store.Cell(CatalogueColumn::FileName, r), want.fileName);
        EXPECT_EQ(store.Cell(CatalogueColumn::CacheName, r), want.cacheName);
        EXPECT_EQ(store.Cell(CatalogueColumn::Destination, r), want.destination);
        EXPECT_EQ(store.Cell(CatalogueColumn::Copied, r), want.copied);
    }
    for (const int outside : {-1, store.Rows(), store.Rows() + 7})
        EXPECT_EQ(store.Row(outside), CatalogueRow{}) << "row " << outside;
}

TEST(CatalogueStore, HoldsEveryCellAsGivenThroughMarksAndClears) {
    const std::string longName(5000, 'x');
    std::vector<CatalogueRow> rows = {
        {"", "", "", ""}, // empty cells between full ones
        {"DM-Deck16][.unr", "0A1B2C3D4E5F60718293A4B5C6D7E8F9", "Maps", ""},
        {"Caf\xc3\xa9.utx", "K\xe2\x82\xac", "Textures", "NO"},
        {longName, longName + "y", "Music", ""},
        {std::string("nul\0inside", 10), "C", "Sounds", ""},
        {"Engine.u", "D", "System", ""},
        {"", "E", "Maps", ""},
    };
    for (int i = 0; i < 3000; ++i)
        rows.push_back(
            {"F" + std::to_string(i), "C" + std::to_string(i), i % 3 ? "Maps" : "System", ""});

    CatalogueStore store;
    for (const CatalogueRow& row : rows)
        store.Append(row);
    ExpectSame(store, rows);

    // Marks land on their own row only, any text, any number of times.
    const struct {
        int row;
        const char* mark;
    } marks[] = {{0, "YES"}, {1, "Errored"}, {2, "YES"}, {1, "YES"}, {3000, "a new mark"}, {6, ""}};
    for (const auto& m : marks) {
        ASSERT_TRUE(store.SetCopied(m.row, m.mark));
        rows[std::size_t(m.row)].copied = m.mark;
    }
    EXPECT_FALSE(store.SetCopied(-1, "YES"));
    EXPECT_FALSE(store.SetCopied(store.Rows(), "YES"));
    ExpectSame(store, rows);

    store.Clear();
    ExpectSame(store, {});
    store.Append(rows[2]); // usable again after a clear, from row 0
    ExpectSame(store, {rows[2]});
}

} // namespace
