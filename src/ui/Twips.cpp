#include "ui/Twips.h"

#include <QVariant>
#include <QWidget>

#include <algorithm>

namespace ui {

namespace {
// The exact values live on the widget itself, so they die with it and need no registry.
constexpr const char* LeftKey = "lodestowTwipsLeft";
constexpr const char* TopKey = "lodestowTwipsTop";
constexpr const char* WidthKey = "lodestowTwipsWidth";
constexpr const char* HeightKey = "lodestowTwipsHeight";

float Stored(const QWidget* w, const char* key) {
    const QVariant v = w->property(key);
    return v.isValid() ? v.toFloat() : 0.0f;
}
} // namespace

QRect ToPixels(const TwipsRect& r) {
    return QRect(TwipsToPixels(r.left), TwipsToPixels(r.top), TwipsToPixels(r.width),
                 TwipsToPixels(r.height));
}

void SetTwips(QWidget* w, const TwipsRect& r) {
    w->setProperty(LeftKey, r.left);
    w->setProperty(TopKey, r.top);
    w->setProperty(WidthKey, r.width);
    w->setProperty(HeightKey, r.height);
    const QRect px = ToPixels(r);
    if (w->isWindow()) {
        w->setFixedSize(std::max(px.width(), 0), std::max(px.height(), 0));
    } else {
        // Positions count from the container's own top-left corner: a frame's border and caption
        // lie over its controls, and a picture box holds its controls in an inside area of its own.
        w->setGeometry(px.x(), px.y(), std::max(px.width(), 0), std::max(px.height(), 0));
    }
}

TwipsRect Twips(const QWidget* w) {
    return {Stored(w, LeftKey), Stored(w, TopKey), Stored(w, WidthKey), Stored(w, HeightKey)};
}

} // namespace ui
