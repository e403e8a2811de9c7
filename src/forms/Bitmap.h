#pragma once
// The logo is the game's file, and nothing guarantees what is in it. Both front ends draw what
// this decoder makes of it, so the two programs show the same picture for the same file; every
// claim of the file is checked against its own length, so a damaged or cut-off file, or one that
// claims an enormous picture, counts as missing.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace forms {

inline constexpr long long MaxBitmapPixels = 16LL * 1024 * 1024;

struct Picture {
    int width = 0;
    int height = 0;
    // Top row first, each pixel 0xFFRRGGBB (opaque: a logo has no transparency).
    std::vector<std::uint32_t> pixels;
};

// A device-independent bitmap file: the Windows information headers (40 bytes and the later,
// longer ones) and the OS/2 core header; 1, 4, 8, 16, 24 and 32 bits per pixel, uncompressed,
// with bit fields, or run-length encoded (RLE8, RLE4); rows bottom-up or top-down; a palette of
// any size the header allows. nullopt for anything else and for any damage.
std::optional<Picture> DecodeBitmap(std::string_view bytes);

} // namespace forms
