#pragma once
// Positions and sizes are kept in twips, exactly as computed; they become logical pixels only
// when applied to a widget.

#include "forms/Twips.h"

#include <QRect>

class QWidget;

namespace ui {

using forms::PixelsToTwips;
using forms::TwipsPerPixel;
using forms::TwipsRect;
using forms::TwipsToPixels;

QRect ToPixels(const TwipsRect& r);

// Stores the twips on the widget and applies the pixel geometry, measured from the top-left corner
// of its container (a frame's origin is its outer corner; a picture box's controls live in the
// area inside its border, see PictureBox::Inside). For a top-level window only the
// size is applied (its position is the screen's business) and the window is fixed at that size.
void SetTwips(QWidget* w, const TwipsRect& r);
// The twips last stored on the widget (zero when none were).
TwipsRect Twips(const QWidget* w);

} // namespace ui
