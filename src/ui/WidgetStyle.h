#pragma once
// Fonts and colours the way both windows set them up.

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QString>
#include <QWidget>

namespace ui {

// A face at a point size, bold or regular, never italic, underlined or struck out. The hint
// picks the stand-in when the face is not installed (AnyStyle: Qt's own choice).
inline QFont PlainFont(const char* family, qreal points, bool bold,
                       QFont::StyleHint hint = QFont::AnyStyle) {
    QFont font{QString::fromLatin1(family)};
    if (hint != QFont::AnyStyle)
        font.setStyleHint(hint);
    font.setPointSizeF(points);
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    return font;
}

inline void SetColour(QWidget* w, QPalette::ColorRole role, const QColor& colour) {
    QPalette palette = w->palette();
    palette.setColor(role, colour);
    w->setPalette(palette);
}

} // namespace ui
