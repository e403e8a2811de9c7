#include "forms/Twips.h"

#include <cmath>

namespace forms {

int TwipsToPixels(float twips, int dpi) {
    if (dpi == BaseDpi)
        return static_cast<int>(std::lround(static_cast<double>(twips) / TwipsPerPixel));
    return static_cast<int>(std::lround(static_cast<double>(twips) * dpi / 1440.0));
}

float PixelsToTwips(int pixels, int dpi) {
    if (dpi == BaseDpi)
        return static_cast<float>(pixels) * TwipsPerPixel;
    return static_cast<float>(static_cast<double>(pixels) * 1440.0 / dpi);
}

} // namespace forms
