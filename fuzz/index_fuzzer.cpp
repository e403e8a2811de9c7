// libFuzzer target: the cache index reader and the rewrite, checked for their properties (see
// IndexProperties.h), not only for crashes.

#include "IndexProperties.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string violation =
        indexfuzz::IndexPropertyViolation({reinterpret_cast<const char*>(data), size});
    if (!violation.empty()) {
        std::fprintf(stderr, "index property violated: %s\n", violation.c_str());
        std::abort();
    }
    return 0;
}
