#include "forms/Bitmap.h"

#include <cstdint>
#include <cstdlib>

namespace forms {

namespace {

std::uint32_t U32(std::string_view b, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(b[at + std::size_t(i)]);
    return v;
}
std::uint16_t U16(std::string_view b, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) |
                                      (static_cast<unsigned char>(b[at + 1]) << 8));
}

} // namespace

std::optional<BitmapLayout> CheckBitmapFile(std::string_view bytes) {
    constexpr std::size_t FileHeader = 14;
    if (bytes.size() < FileHeader + 40 || bytes.substr(0, 2) != "BM")
        return std::nullopt;
    const std::uint64_t size = bytes.size();
    const std::uint64_t bitsOffset = U32(bytes, 10);
    const std::uint64_t infoSize = U32(bytes, 14);
    if (infoSize < 40 || FileHeader + infoSize > size)
        return std::nullopt;
    const auto width = static_cast<std::int32_t>(U32(bytes, 18));
    const auto height = static_cast<std::int32_t>(U32(bytes, 22));
    const unsigned planes = U16(bytes, 26);
    const unsigned bits = U16(bytes, 28);
    const std::uint32_t compression = U32(bytes, 30);
    const std::uint64_t coloursUsed = U32(bytes, 46);
    if (width <= 0 || height == 0 || height == INT32_MIN || planes != 1)
        return std::nullopt;
    const std::int64_t rows = std::llabs(std::int64_t(height));
    if (width > 32767 || rows > 32767 || std::int64_t(width) * rows > MaxBitmapPixels)
        return std::nullopt;

    std::uint64_t tables = 0; // palette or colour masks after the information header
    switch (bits) {
    case 1:
    case 4:
    case 8:
        if (compression != 0 || coloursUsed > (1u << bits))
            return std::nullopt;
        tables = 4 * (coloursUsed ? coloursUsed : (1u << bits));
        break;
    case 16:
    case 32:
        if (compression == 3 && infoSize == 40)
            tables = 12;
        else if (compression != 0 && compression != 3)
            return std::nullopt;
        break;
    case 24:
        if (compression != 0)
            return std::nullopt;
        break;
    default:
        return std::nullopt;
    }
    const std::uint64_t stride = (std::uint64_t(width) * bits + 31) / 32 * 4;
    if (bitsOffset < FileHeader + infoSize + tables || bitsOffset > size ||
        stride * std::uint64_t(rows) > size - bitsOffset)
        return std::nullopt;

    BitmapLayout layout;
    layout.width = width;
    layout.height = int(rows);
    layout.topDown = height < 0;
    layout.bitsOffset = std::size_t(bitsOffset);
    return layout;
}

} // namespace forms
