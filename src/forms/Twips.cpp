#include "forms/Twips.h"

#include <cmath>

namespace forms {

int TwipsToPixels(float twips) {
    return static_cast<int>(std::lround(static_cast<double>(twips) / TwipsPerPixel));
}

float PixelsToTwips(int pixels) {
    return static_cast<float>(pixels) * TwipsPerPixel;
}

} // namespace forms
