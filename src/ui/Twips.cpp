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
        // Positions count from the inside of the container, within its border.
        const QPoint inside =
            w->parentWidget() ? w->parentWidget()->contentsRect().topLeft() : QPoint();
        w->setGeometry(inside.x() + px.x(), inside.y() + px.y(), std::max(px.width(), 0),
                       std::max(px.height(), 0));
    }
}

TwipsRect Twips(const QWidget* w) {
    return {Stored(w, LeftKey), Stored(w, TopKey), Stored(w, WidthKey), Stored(w, HeightKey)};
}

} // namespace ui
