#include "ui/Controls.h"

#include <QKeyEvent>
#include <QLineEdit>

namespace ui {

CommandButton::CommandButton(const QString& caption, QWidget* parent)
    : QPushButton(caption, parent) {
    // Qt presses a button on Return only when it is a default button, which none of ours is.
    setAutoDefault(false);
    setDefault(false);
}

void CommandButton::keyPressEvent(QKeyEvent* event) {
    const bool enterKey = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    if (enterKey && mods == Qt::NoModifier && !event->isAutoRepeat()) {
        event->accept();
        click();
        return;
    }
    QPushButton::keyPressEvent(event);
}

void SetTextBoxText(QLineEdit* box, const QString& text) {
    box->setText(text);
    // Qt leaves the cursor after the last character and scrolls the end into view.
    box->setCursorPosition(0);
}

} // namespace ui
