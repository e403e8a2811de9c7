#pragma once
// Positions and sizes are kept in twips, exactly as computed; they become logical pixels only
// when a front end applies them to a control.

namespace forms {

inline constexpr float TwipsPerPixel = 15.0f;

struct TwipsRect {
    float left = 0, top = 0, width = 0, height = 0;
    bool operator==(const TwipsRect&) const = default;
};

// Nearest pixel; half a pixel rounds away from zero.
int TwipsToPixels(float twips);
float PixelsToTwips(int pixels);

} // namespace forms
