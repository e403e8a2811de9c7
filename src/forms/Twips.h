#pragma once
// Positions and sizes are kept in twips, exactly as computed; they become logical pixels only
// when a front end applies them to a control.

namespace forms {

inline constexpr float TwipsPerPixel = 15.0f;

struct TwipsRect {
    float left = 0, top = 0, width = 0, height = 0;
    bool operator==(const TwipsRect&) const = default;
};

// Nearest pixel; half a pixel rounds away from zero. A pixel is 1440 / dpi twips (15 at 96 dpi,
// the size every test and the definitions count in).
inline constexpr int BaseDpi = 96;
int TwipsToPixels(float twips, int dpi = BaseDpi);
float PixelsToTwips(int pixels, int dpi = BaseDpi);

} // namespace forms
