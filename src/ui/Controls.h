#pragma once
// Where Qt's controls behave otherwise than the classic ones the windows are made of.

#include <QPushButton>
#include <QString>

class QKeyEvent;
class QLineEdit;

namespace ui {

// A command button that is never the window's default button, yet is pressed by Return (or the
// keypad's Enter) as well as by the space bar while it has the focus.
class CommandButton : public QPushButton {
public:
    CommandButton(const QString& caption, QWidget* parent);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// Gives a text box its text as the classic text box shows it: from the start, with the end cut
// off when the text is wider than the box.
void SetTextBoxText(QLineEdit* box, const QString& text);

} // namespace ui
