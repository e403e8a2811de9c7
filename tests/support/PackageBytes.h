#pragma once
// Package files of our own making, for tests and benchmarks: a header of the chosen file
// version, tables that fit, and seeded noise for the rest.

#include <array>
#include <cstdint>
#include <random>
#include <string>

namespace testsupport {

using Guid = std::array<std::uint32_t, 4>;

inline void PutWord(std::string& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + static_cast<std::size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

// The cache name the engine gives a package of this GUID.
inline std::string GuidHex(const Guid& guid) {
    static const char* digits = "0123456789ABCDEF";
    std::string hex;
    for (std::uint32_t word : guid)
        for (int shift = 28; shift >= 0; shift -= 4)
            hex += digits[(word >> shift) & 0xF];
    return hex;
}

// `size` bytes (at least 160). From file version 68 on the GUID is in the header; before, it is
// the last of two entries of the heritage table.
inline std::string MakePackage(std::uint16_t fileVersion, const Guid& guid, std::size_t size = 512,
                               std::uint32_t seed = 1, std::uint16_t licensee = 0) {
    std::string bytes(size < 160 ? 160 : size, '\0');
    std::mt19937 noise(seed);
    for (char& c : bytes)
        c = static_cast<char>(noise() & 0xFF);
    PutWord(bytes, 0, 0x9E2A83C1);
    PutWord(bytes, 4, std::uint32_t{fileVersion} | std::uint32_t{licensee} << 16);
    PutWord(bytes, 8, 0x0001); // flags
    std::size_t tables = 0;
    if (fileVersion >= 68) {
        for (std::size_t i = 0; i < 4; ++i)
            PutWord(bytes, 36 + 4 * i, guid[i]);
        PutWord(bytes, 52, 1); // one generation:
        PutWord(bytes, 56, 2); //   its export count
        PutWord(bytes, 60, 3); //   and name count
        tables = 64;
    } else {
        PutWord(bytes, 36, 2);  // heritage count
        PutWord(bytes, 40, 44); // heritage offset
        for (std::size_t i = 0; i < 4; ++i) {
            PutWord(bytes, 44 + 4 * i, guid[i] ^ 0x5A5A5A5A); // an earlier save
            PutWord(bytes, 60 + 4 * i, guid[i]);
        }
        tables = 76;
    }
    PutWord(bytes, 12, 3); // names
    PutWord(bytes, 16, static_cast<std::uint32_t>(tables));
    PutWord(bytes, 20, 2); // exports
    PutWord(bytes, 24, static_cast<std::uint32_t>(tables + 32));
    PutWord(bytes, 28, 1); // imports
    PutWord(bytes, 32, static_cast<std::uint32_t>(tables + 64));
    return bytes;
}

} // namespace testsupport
