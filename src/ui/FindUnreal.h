#pragma once
// The location window: lets the user point the program at the game folder when the game is not
// where the program expected it.

#include "forms/FindUnrealLogic.h"

#include <QWidget>

#include <functional>

class QFrame;
class QLabel;
class QLineEdit;
class QMessageBox;
class QPushButton;

namespace ui {

class DirListBox;
class DriveListBox;

// The program's one message box, made and not yet shown: the stop icon, the text, a single OK
// button, and wide enough for its title. The caller owns it (it is also a child of the owner).
QMessageBox* NewMessageBox(QWidget* owner, const QString& text, const QString& title);

class FindUnreal : public QWidget, private forms::LocationWindow {
    Q_OBJECT
public:
    explicit FindUnreal(QWidget* parent = nullptr);

    // Shows the one message box of the program and waits until it is dismissed. Tests replace
    // it so that nothing blocks; empty means the real, modal box.
    using MessageBoxFunction =
        std::function<void(QWidget* owner, const QString& text, const QString& title)>;
    static MessageBoxFunction& MessageBoxHook();

    // Handlers, named after their control and event.
    void Form_Load();
    void Drive1_Change();
    void Dir1_Change();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Form_MouseMove(Qt::MouseButtons buttons);

    // Places the window in the middle of its screen.
    void CentreOnScreen();

    QPushButton* Command1 = nullptr; // "Enter"
    QPushButton* Command2 = nullptr; // "Cancel"
    QPushButton* Command3 = nullptr; // "X"
    QFrame* Frame1 = nullptr;
    QLabel* Label1 = nullptr;
    DriveListBox* Drive1 = nullptr;
    DirListBox* Dir1 = nullptr;
    QLineEdit* ThePath = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    // LocationWindow
    bool SetDrive(const std::string& drive) override;
    std::string Drive() const override;
    bool SetDirPath(const std::string& path) override;
    std::string DirPath() const override;
    std::string ThePathText() const override;
    void SetThePathText(const std::string& text) override;
    void ShowTryAgain() override;
    void CloseMainForm() override;
    void OpenMainForm() override;
    void CloseWindow() override;

    forms::StillLoaded Loaded();

    bool inDriveFallback_ = false;
};

} // namespace ui
