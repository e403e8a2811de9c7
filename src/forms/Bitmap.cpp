#include "forms/Bitmap.h"

#include <algorithm>
#include <bit>
#include <cstdlib>

namespace forms {

namespace {

constexpr std::size_t FileHeader = 14;

enum Compression : std::uint32_t { Rgb = 0, Rle8 = 1, Rle4 = 2, BitFields = 3, AlphaBitFields = 6 };

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

// One colour channel from a pixel through its mask, scaled to 8 bits.
struct Channel {
    std::uint32_t mask = 0;
    int shift = 0, bits = 0;
    explicit Channel(std::uint32_t m = 0) : mask(m) {
        if (m) {
            shift = std::countr_zero(m);
            bits = std::popcount(m);
        }
    }
    std::uint32_t Of(std::uint32_t pixel) const {
        if (!bits)
            return 0;
        const std::uint32_t v = (pixel & mask) >> shift;
        if (bits >= 8)
            return (v >> (bits - 8)) & 0xFF;
        return v * 255 / ((1u << bits) - 1);
    }
};

struct Header {
    int width = 0;
    long long rows = 0;
    bool topDown = false;
    unsigned bits = 0;
    std::uint32_t compression = Rgb;
    std::size_t infoSize = 0;
    std::size_t paletteAt = 0, paletteEntry = 4, paletteCount = 0;
    std::uint32_t masks[3] = {};
    std::size_t bitsAt = 0;
};

std::optional<Header> ReadHeader(std::string_view bytes) {
    const std::uint64_t size = bytes.size();
    if (size < FileHeader + 4 || bytes.substr(0, 2) != "BM")
        return std::nullopt;
    Header h;
    h.bitsAt = U32(bytes, 10);
    h.infoSize = U32(bytes, 14);
    if (h.infoSize > size - FileHeader)
        return std::nullopt;
    long long height = 0;
    unsigned planes = 0;
    std::uint64_t coloursUsed = 0;
    if (h.infoSize == 12) { // OS/2 core header: 16-bit sizes, palette of three-byte entries
        h.width = U16(bytes, 18);
        height = U16(bytes, 20);
        planes = U16(bytes, 22);
        h.bits = U16(bytes, 24);
        h.paletteEntry = 3;
    } else if (h.infoSize >= 16 && h.infoSize <= 124 && h.infoSize % 4 == 0) {
        h.width = static_cast<std::int32_t>(U32(bytes, 18));
        height = static_cast<std::int32_t>(U32(bytes, 22));
        planes = U16(bytes, 26);
        h.bits = U16(bytes, 28);
        if (h.infoSize >= 20)
            h.compression = U32(bytes, 30);
        if (h.infoSize >= 36)
            coloursUsed = U32(bytes, 46);
        // OS/2 2.x headers number their own compressions: 3 and 4 are not bit fields there.
        if (h.infoSize == 64 && h.compression >= BitFields)
            return std::nullopt;
    } else {
        return std::nullopt;
    }
    if (h.width <= 0 || height == 0 || planes != 1)
        return std::nullopt;
    h.topDown = height < 0;
    h.rows = std::llabs(height);
    if (h.width > 32767 || h.rows > 32767 || h.width * h.rows > MaxBitmapPixels)
        return std::nullopt;

    std::size_t tables = FileHeader + h.infoSize; // where what follows the header starts
    switch (h.compression) {
    case Rgb:
        if (h.bits != 1 && h.bits != 4 && h.bits != 8 && h.bits != 16 && h.bits != 24 &&
            h.bits != 32)
            return std::nullopt;
        break;
    case Rle8:
    case Rle4:
        if (h.bits != (h.compression == Rle8 ? 8u : 4u) || h.topDown)
            return std::nullopt;
        break;
    case BitFields:
    case AlphaBitFields: {
        if (h.bits != 16 && h.bits != 32)
            return std::nullopt;
        // Masks inside the longer headers; after the 40-byte one.
        std::size_t at = tables;
        if (h.infoSize >= 52) {
            at = FileHeader + 40;
        } else {
            tables += h.compression == AlphaBitFields ? 16 : 12;
            if (tables > size)
                return std::nullopt;
        }
        for (int i = 0; i < 3; ++i)
            h.masks[i] = U32(bytes, at + 4 * std::size_t(i));
        break;
    }
    default:
        return std::nullopt;
    }
    if (h.compression == Rgb && h.bits == 16) {
        h.masks[0] = 0x7C00, h.masks[1] = 0x03E0, h.masks[2] = 0x001F;
    } else if (h.compression == Rgb && h.bits == 32) {
        h.masks[0] = 0xFF0000, h.masks[1] = 0xFF00, h.masks[2] = 0xFF;
    }

    h.paletteAt = tables;
    if (h.bits <= 8) {
        const std::uint64_t most = std::uint64_t{1} << h.bits;
        if (coloursUsed > most)
            return std::nullopt;
        std::uint64_t count = coloursUsed ? coloursUsed : most;
        // The core header gives no count: its palette is what lies before the pixels.
        if (h.infoSize == 12 && h.bitsAt >= tables)
            count = std::min<std::uint64_t>(count, (h.bitsAt - tables) / h.paletteEntry);
        h.paletteCount = static_cast<std::size_t>(count);
        tables += h.paletteCount * h.paletteEntry;
    }
    if (h.bitsAt < tables || h.bitsAt > size)
        return std::nullopt;
    return h;
}

std::uint32_t PaletteColour(std::string_view bytes, const Header& h, unsigned index) {
    if (index >= h.paletteCount)
        return 0xFF000000;
    const std::size_t at = h.paletteAt + index * h.paletteEntry;
    const auto byte = [&](std::size_t i) { return std::uint32_t(std::uint8_t(bytes[at + i])); };
    return 0xFF000000 | byte(2) << 16 | byte(1) << 8 | byte(0);
}

std::uint64_t Stride(const Header& h) {
    return (std::uint64_t(h.width) * h.bits + 31) / 32 * 4;
}

bool DecodeUncompressed(std::string_view bytes, const Header& h, Picture& picture) {
    const std::uint64_t stride = Stride(h);
    const Channel red(h.masks[0]), green(h.masks[1]), blue(h.masks[2]);
    for (long long y = 0; y < h.rows; ++y) {
        const long long fileRow = h.topDown ? y : h.rows - 1 - y;
        const std::size_t row = h.bitsAt + std::size_t(fileRow) * std::size_t(stride);
        std::uint32_t* out = &picture.pixels[std::size_t(y) * std::size_t(h.width)];
        for (int x = 0; x < h.width; ++x) {
            const auto at = [&](std::size_t i) { return std::uint8_t(bytes[row + i]); };
            std::uint32_t colour = 0;
            switch (h.bits) {
            case 1:
            case 4:
            case 8: {
                const std::size_t bit = std::size_t(x) * h.bits;
                const unsigned shift = 8 - h.bits - unsigned(bit % 8);
                const unsigned index = (at(bit / 8) >> shift) & ((1u << h.bits) - 1);
                colour = PaletteColour(bytes, h, index);
                break;
            }
            case 16: {
                const std::uint32_t p = at(2 * std::size_t(x)) | at(2 * std::size_t(x) + 1) << 8;
                colour = 0xFF000000 | red.Of(p) << 16 | green.Of(p) << 8 | blue.Of(p);
                break;
            }
            case 24:
                colour = 0xFF000000 | std::uint32_t(at(3 * std::size_t(x) + 2)) << 16 |
                         std::uint32_t(at(3 * std::size_t(x) + 1)) << 8 | at(3 * std::size_t(x));
                break;
            default: {
                const std::uint32_t p = U32(bytes, row + 4 * std::size_t(x));
                colour = 0xFF000000 | red.Of(p) << 16 | green.Of(p) << 8 | blue.Of(p);
                break;
            }
            }
            out[x] = colour;
        }
    }
    return true;
}

// Runs of palette indices, bottom row first. The file must reach its end-of-picture mark (or
// its last row) before its bytes end; what a run puts outside the picture is dropped.
bool DecodeRunLength(std::string_view bytes, const Header& h, Picture& picture) {
    const bool nibbles = h.compression == Rle4;
    const std::size_t size = bytes.size();
    std::vector<std::uint8_t> indices(std::size_t(h.width) * std::size_t(h.rows), 0);
    long long x = 0, y = 0;
    const auto put = [&](long long count, const auto& indexOf) {
        const long long inside = std::clamp<long long>(h.width - x, 0, count);
        if (y < h.rows)
            for (long long i = 0; i < inside; ++i)
                indices[std::size_t((h.rows - 1 - y) * h.width + x + i)] = indexOf(i);
        x += count;
    };
    std::size_t p = h.bitsAt;
    while (y < h.rows) {
        if (p + 2 > size)
            return false;
        const std::uint8_t count = std::uint8_t(bytes[p]), value = std::uint8_t(bytes[p + 1]);
        p += 2;
        if (count > 0) {
            put(count, [&](long long i) -> std::uint8_t {
                return nibbles ? (i % 2 ? value & 0x0F : value >> 4) : value;
            });
            continue;
        }
        if (value == 0) { // end of line
            x = 0;
            ++y;
        } else if (value == 1) { // end of picture
            break;
        } else if (value == 2) { // move right and up
            if (p + 2 > size)
                return false;
            x += std::uint8_t(bytes[p]);
            y += std::uint8_t(bytes[p + 1]);
            p += 2;
        } else { // `value` indices as they are, padded to a whole word
            const std::size_t length = nibbles ? (value + 1u) / 2 : value;
            const std::size_t padded = (length + 1) / 2 * 2;
            if (p + padded > size)
                return false;
            const std::size_t from = p;
            put(value, [&](long long i) -> std::uint8_t {
                const std::uint8_t b = std::uint8_t(bytes[from + std::size_t(nibbles ? i / 2 : i)]);
                return nibbles ? (i % 2 ? b & 0x0F : b >> 4) : b;
            });
            p += padded;
        }
    }
    for (std::size_t i = 0; i < indices.size(); ++i)
        picture.pixels[i] = PaletteColour(bytes, h, indices[i]);
    return true;
}

} // namespace

std::optional<Picture> DecodeBitmap(std::string_view bytes) {
    const auto header = ReadHeader(bytes);
    if (!header)
        return std::nullopt;
    const bool runs = header->compression == Rle8 || header->compression == Rle4;
    // Rows the file claims but does not hold: told before a picture of their size is made.
    if (!runs && Stride(*header) * std::uint64_t(header->rows) > bytes.size() - header->bitsAt)
        return std::nullopt;
    Picture picture;
    picture.width = header->width;
    picture.height = int(header->rows);
    picture.pixels.assign(std::size_t(header->width) * std::size_t(header->rows), 0xFF000000);
    const bool done = runs ? DecodeRunLength(bytes, *header, picture)
                           : DecodeUncompressed(bytes, *header, picture);
    if (!done)
        return std::nullopt;
    return picture;
}

} // namespace forms
