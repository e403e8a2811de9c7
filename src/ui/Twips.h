#pragma once
// Positions and sizes are kept in twips, exactly as computed; they become logical pixels only
// when applied to a widget.

#include <QRect>

class QWidget;

namespace ui {

inline constexpr float TwipsPerPixel = 15.0f;

struct TwipsRect {
    float left = 0, top = 0, width = 0, height = 0;
    bool operator==(const TwipsRect&) const = default;
};

// Nearest pixel; half a pixel rounds away from zero.
int TwipsToPixels(float twips);
float PixelsToTwips(int pixels);
QRect ToPixels(const TwipsRect& r);

// Stores the twips on the widget and applies the pixel geometry, measured from the top-left corner
// of the inside of its container (within the container's border). For a top-level window only the
// size is applied (its position is the screen's business) and the window is fixed at that size.
void SetTwips(QWidget* w, const TwipsRect& r);
// The twips last stored on the widget (zero when none were).
TwipsRect Twips(const QWidget* w);

} // namespace ui
