// libFuzzer target: the logo decoder. Besides not crashing, a picture it gives has the size it
// claims, within the limit, and every pixel opaque.

#include "forms/Bitmap.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto picture = forms::DecodeBitmap(bytes);
    if (!picture)
        return 0;
    const long long pixels = static_cast<long long>(picture->width) * picture->height;
    if (picture->width <= 0 || picture->height <= 0 || pixels > forms::MaxBitmapPixels ||
        picture->pixels.size() != static_cast<std::size_t>(pixels)) {
        std::fprintf(stderr, "bitmap property violated: picture of the wrong size\n");
        std::abort();
    }
    for (const std::uint32_t pixel : picture->pixels)
        if ((pixel >> 24) != 0xFF) {
            std::fprintf(stderr, "bitmap property violated: a pixel that is not opaque\n");
            std::abort();
        }
    return 0;
}
