#pragma once
// The logo is the game's file, and nothing guarantees what is in it. Before a front end hands it
// to the system's picture code, the file's claims are checked against its own length, so a
// damaged or cut-off file, or one that claims an enormous picture, counts as missing.

#include <cstddef>
#include <optional>
#include <string_view>

namespace forms {

inline constexpr long long MaxBitmapPixels = 16LL * 1024 * 1024;

struct BitmapLayout {
    int width = 0;
    int height = 0; // always positive; topDown says which way the rows run
    bool topDown = false;
    std::size_t infoOffset = 14; // the information header (and palette or masks after it)
    std::size_t bitsOffset = 0;  // the pixel rows
};

// Uncompressed (or bit-field) device-independent bitmaps of 1, 4, 8, 16, 24 or 32 bits per
// pixel whose header, palette and rows all lie within the bytes.
std::optional<BitmapLayout> CheckBitmapFile(std::string_view bytes);

} // namespace forms
