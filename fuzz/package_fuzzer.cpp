// libFuzzer target: the package header reader. Besides not crashing, a header it accepts has
// every table inside the file, and no read it asks for reaches past the file's end.

#include "package/PackageHeader.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace {

[[noreturn]] void Violated(const char* what) {
    std::fprintf(stderr, "package property violated: %s\n", what);
    std::abort();
}

void CheckTable(std::uint64_t count, std::uint64_t offset, std::uint64_t size) {
    if (offset > size || (count > 0 && (offset >= size || count > size - offset)))
        Violated("a table outside the file was accepted");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::uint64_t reach = 0;
    const auto header = UnrealMOD::ReadPackageHeader(
        size, [&](std::uint64_t offset, std::size_t length) -> std::optional<std::string> {
            if (offset > size)
                Violated("a read starts past the end");
            if (length > 4096)
                Violated("a read larger than a header was asked for");
            reach = std::max<std::uint64_t>(reach, offset + length);
            return std::string(bytes.substr(static_cast<std::size_t>(offset), length));
        });
    if (!header)
        return 0;
    if (header->guid.Hex().size() != 32)
        Violated("the GUID is not 32 digits");
    CheckTable(header->nameCount, header->nameOffset, size);
    CheckTable(header->exportCount, header->exportOffset, size);
    CheckTable(header->importCount, header->importOffset, size);
    if (UnrealMOD::GuidOfCacheName(header->guid.Hex()) != header->guid)
        Violated("the GUID does not read back from its cache name");
    if (UnrealMOD::ParsePackageHeader(bytes) != header)
        Violated("the whole-file reader disagrees");
    return 0;
}
