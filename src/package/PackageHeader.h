#pragma once
// The header of an engine package (map, texture, sound, music or code package): read from the
// first bytes of the file, never trusting a count or an offset further than the file's size.
//
// Layout (all little-endian): tag 0x9E2A83C1; file version (16 bits) and licensee version (16
// bits); package flags; name count and offset; export count and offset; import count and offset.
// Then, from file version 68 on, the package's GUID (four 32-bit words); before 68, the count and
// offset of the heritage table, a list of GUIDs whose last entry is the package's own.

#include "platform/FileSystem.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace UnrealMOD {

inline constexpr std::uint32_t PackageTag = 0x9E2A83C1;

struct PackageGuid {
    std::uint32_t a = 0, b = 0, c = 0, d = 0;
    bool operator==(const PackageGuid&) const = default;
    // The engine's own spelling, which is also the package's cache name: the four words in
    // order, each as 8 upper-case hexadecimal digits.
    std::string Hex() const;
};

struct PackageHeader {
    std::uint16_t fileVersion = 0;
    std::uint16_t licenseeVersion = 0;
    std::uint32_t flags = 0;
    std::uint32_t nameCount = 0, nameOffset = 0;
    std::uint32_t exportCount = 0, exportOffset = 0;
    std::uint32_t importCount = 0, importOffset = 0;
    PackageGuid guid;
    bool operator==(const PackageHeader&) const = default;
};

// Reads `length` bytes at `offset` of the file (fewer at its end); nullopt when the read fails.
using ReadBytesAt = std::function<std::optional<std::string>(std::uint64_t, std::size_t)>;

// The header of a file of `size` bytes; nullopt for anything that is not a package of the first
// or second engine generation (file versions 61 to 69 and 100 to 140), or is cut short, or whose
// tables do not fit in the file.
std::optional<PackageHeader> ReadPackageHeader(std::uint64_t size, const ReadBytesAt& read);
// The same for a whole file held in memory.
std::optional<PackageHeader> ParsePackageHeader(std::string_view bytes);
std::optional<PackageHeader> ReadPackageHeader(const platform::InputFile& file);

// The GUID that a cache name of 32 hexadecimal digits (either case) spells; nullopt for any
// other name.
std::optional<PackageGuid> GuidOfCacheName(std::string_view cacheName);

} // namespace UnrealMOD
