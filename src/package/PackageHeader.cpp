#include "package/PackageHeader.h"

#include <array>

namespace UnrealMOD {

namespace {

// Everything before the GUID (or the heritage table's count and offset).
constexpr std::size_t FixedPart = 36;
// The first bytes hold the whole header of either layout.
constexpr std::size_t HeaderBytes = FixedPart + 16;

std::uint32_t Word(std::string_view bytes, std::size_t at) {
    const auto byte = [&](std::size_t i) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + i]));
    };
    return byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24;
}

PackageGuid GuidAt(std::string_view bytes, std::size_t at) {
    return {Word(bytes, at), Word(bytes, at + 4), Word(bytes, at + 8), Word(bytes, at + 12)};
}

bool KnownVersion(std::uint16_t version) {
    return (version >= 61 && version <= 69) || (version >= 100 && version <= 140);
}

// A table of `count` entries at `offset` fits when it starts after the header and every entry
// could have at least one byte of its own.
bool TableFits(std::uint64_t count, std::uint64_t offset, std::uint64_t headerEnd,
               std::uint64_t size) {
    if (count == 0)
        return offset <= size;
    return offset >= headerEnd && offset < size && count <= size - offset;
}

} // namespace

std::string PackageGuid::Hex() const {
    static constexpr std::string_view digits = "0123456789ABCDEF";
    std::string hex;
    for (const std::uint32_t word : {a, b, c, d})
        for (int shift = 28; shift >= 0; shift -= 4)
            hex += digits[(word >> shift) & 0xF];
    return hex;
}

std::optional<PackageHeader> ReadPackageHeader(std::uint64_t size, const ReadBytesAt& read) {
    if (size < FixedPart + 8)
        return std::nullopt;
    const auto head = read(0, HeaderBytes);
    if (!head || head->size() < FixedPart + 8 || Word(*head, 0) != PackageTag)
        return std::nullopt;
    const std::string_view bytes = *head;
    PackageHeader header;
    const std::uint32_t version = Word(bytes, 4);
    header.fileVersion = static_cast<std::uint16_t>(version & 0xFFFF);
    header.licenseeVersion = static_cast<std::uint16_t>(version >> 16);
    if (!KnownVersion(header.fileVersion))
        return std::nullopt;
    header.flags = Word(bytes, 8);
    header.nameCount = Word(bytes, 12);
    header.nameOffset = Word(bytes, 16);
    header.exportCount = Word(bytes, 20);
    header.exportOffset = Word(bytes, 24);
    header.importCount = Word(bytes, 28);
    header.importOffset = Word(bytes, 32);

    const bool heritage = header.fileVersion < 68;
    const std::uint64_t headerEnd = heritage ? FixedPart + 8 : FixedPart + 16;
    if (size < headerEnd || bytes.size() < headerEnd)
        return std::nullopt;
    if (!TableFits(header.nameCount, header.nameOffset, headerEnd, size) ||
        !TableFits(header.exportCount, header.exportOffset, headerEnd, size) ||
        !TableFits(header.importCount, header.importOffset, headerEnd, size))
        return std::nullopt;

    if (!heritage) {
        header.guid = GuidAt(bytes, FixedPart);
        return header;
    }
    // Before version 68 the GUID is the last entry of the heritage table.
    const std::uint64_t count = Word(bytes, FixedPart);
    const std::uint64_t offset = Word(bytes, FixedPart + 4);
    if (count == 0 || offset < headerEnd || offset > size || count > (size - offset) / 16)
        return std::nullopt;
    const auto last = read(offset + (count - 1) * 16, 16);
    if (!last || last->size() != 16)
        return std::nullopt;
    header.guid = GuidAt(*last, 0);
    return header;
}

std::optional<PackageHeader> ParsePackageHeader(std::string_view bytes) {
    return ReadPackageHeader(bytes.size(), [bytes](std::uint64_t offset, std::size_t length) {
        if (offset >= bytes.size())
            return std::optional<std::string>(std::string());
        return std::optional<std::string>(std::string(bytes.substr(offset, length)));
    });
}

std::optional<PackageHeader> ReadPackageHeader(const platform::InputFile& file) {
    return ReadPackageHeader(file.Size(), [&file](std::uint64_t offset, std::size_t length) {
        return file.ReadAt(offset, length);
    });
}

std::optional<PackageGuid> GuidOfCacheName(std::string_view cacheName) {
    if (cacheName.size() != 32)
        return std::nullopt;
    std::array<std::uint32_t, 4> words{};
    for (std::size_t i = 0; i < 32; ++i) {
        const char c = cacheName[i];
        std::uint32_t digit = 0;
        if (c >= '0' && c <= '9')
            digit = static_cast<std::uint32_t>(c - '0');
        else if (c >= 'A' && c <= 'F')
            digit = static_cast<std::uint32_t>(c - 'A' + 10);
        else if (c >= 'a' && c <= 'f')
            digit = static_cast<std::uint32_t>(c - 'a' + 10);
        else
            return std::nullopt;
        words[i / 8] = words[i / 8] << 4 | digit;
    }
    return PackageGuid{words[0], words[1], words[2], words[3]};
}

} // namespace UnrealMOD
