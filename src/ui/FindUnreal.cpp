#include "ui/FindUnreal.h"

#include "startup/DoEvents.h"
#include "startup/Location.h"
#include "startup/PlayCue.h"
#include "ui/DirListBox.h"
#include "ui/DriveListBox.h"
#include "ui/FreakyForm.h"
#include "ui/Twips.h"
#include "ui/WidgetStyle.h"
#include "ui/Windows.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QScreen>

namespace ui {

namespace {

constexpr float FormWidth = 5460;
constexpr float FormHeight = 4275;
const char* const StartFolder = "C:\\";

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption) {
    auto* button = new QPushButton(QString::fromLatin1(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    // No default or cancel button: the Enter key presses a button only while it has the focus.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

void ShowRealMessageBox(QWidget* owner, const QString& text, const QString& title) {
    QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok, owner);
    box.exec();
}

} // namespace

FindUnreal::MessageBoxFunction& FindUnreal::MessageBoxHook() {
    static MessageBoxFunction hook;
    return hook;
}

FindUnreal::FindUnreal(QWidget* parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("FindUnreal"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Unreal Tourament Location Form"));
    // No icon of its own, and none borrowed from the program: a fully transparent one.
    QPixmap blank(16, 16);
    blank.fill(Qt::transparent);
    setWindowIcon(QIcon(blank));
    setFont(PlainFont("MS Sans Serif", 8.25, false));
    setAutoFillBackground(true);
    SetColour(this, QPalette::Window, QColor(0xFF, 0x00, 0x00));
    SetTwips(this, {0, 0, FormWidth, FormHeight});
    setFixedSize(size());

    Frame1 = new QFrame(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setFrameShape(QFrame::NoFrame);
    Frame1->setAutoFillBackground(true);
    SetColour(Frame1, QPalette::Window, QColor(0x00, 0x00, 0x00));
    // A mouse move over the panel belongs to the panel, never to the window's drag.
    Frame1->setAttribute(Qt::WA_NoMousePropagation);
    SetTwips(Frame1, {0, 360, 5655, 3975});

    // Created back to front: the heading lies behind the controls it touches.
    Label1 = new QLabel(QStringLiteral("Locate the Unreal Tourament Directory"), Frame1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(PlainFont("MS Sans Serif", 13.5, false));
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1->setWordWrap(true);
    Label1->setAutoFillBackground(false);
    SetColour(Label1, QPalette::WindowText, QColor(0xFF, 0xFF, 0x00));
    SetTwips(Label1, {120, 0, 5175, 495});

    const QFont bigButtons = PlainFont("MS Sans Serif", 18, true);
    Command2 = MakeButton(Frame1, "Command2", "Cancel");
    Command2->setFont(bigButtons);
    SetTwips(Command2, {1800, 3240, 1695, 495});

    Command1 = MakeButton(Frame1, "Command1", "Enter");
    Command1->setFont(bigButtons);
    SetTwips(Command1, {3600, 3240, 1695, 495});

    ThePath = new QLineEdit(QStringLiteral("Text1"), Frame1);
    ThePath->setObjectName(QStringLiteral("ThePath"));
    SetTwips(ThePath, {120, 2760, 5175, 375});

    Drive1 = new DriveListBox(Frame1);
    Drive1->setObjectName(QStringLiteral("Drive1"));
    SetTwips(Drive1, {120, 480, 5175, 315});

    Dir1 = new DirListBox(Frame1);
    Dir1->setObjectName(QStringLiteral("Dir1"));
    SetTwips(Dir1, {120, 840, 5175, 1890});

    Command3 = MakeButton(this, "Command3", "X");
    SetTwips(Command3, {5040, 120, 255, 195});
    Command3->raise();

    // Keyboard order: Cancel, Enter, the path box, the drive list, the directory list, X. The
    // panel and the heading never take the focus, so "Cancel" is the first to get it.
    Frame1->setFocusPolicy(Qt::NoFocus);
    Label1->setFocusPolicy(Qt::NoFocus);
    QWidget::setTabOrder(Command2, Command1);
    QWidget::setTabOrder(Command1, ThePath);
    QWidget::setTabOrder(ThePath, Drive1);
    QWidget::setTabOrder(Drive1, Dir1);
    QWidget::setTabOrder(Dir1, Command3);

    connect(Drive1, &DriveListBox::driveChanged, this, [this] { Drive1_Change(); });
    connect(Dir1, &DirListBox::pathChanged, this, [this] { Dir1_Change(); });
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });
    connect(Command3, &QPushButton::clicked, this, [this] { Command3_Click(); });
}

void FindUnreal::CentreOnScreen() {
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    const float left = float(area.left()) * TwipsPerPixel +
                       (float(area.width()) * TwipsPerPixel - FormWidth) / 2.0f;
    const float top = float(area.top()) * TwipsPerPixel +
                      (float(area.height()) * TwipsPerPixel - FormHeight) / 2.0f;
    SetTwips(this, {left, top, FormWidth, FormHeight});
    // The size is all that a window takes from its twips; the place is ours to set.
    move(TwipsToPixels(left), TwipsToPixels(top));
}

void FindUnreal::Form_Load() {
    QPointer<FindUnreal> self(this);
    UnrealMOD::PlayCue(UnrealMOD::CuePath("\\hgasp1.wav"));
    CloseMainForm();
    UnrealMOD::DoEvents();
    if (!self)
        return;
    Drive1->SetDrive(QString::fromLatin1(StartFolder));
    Dir1->SetPath(QString::fromLatin1(StartFolder));
}

void FindUnreal::Drive1_Change() {
    if (Dir1->SetPath(Drive1->Drive()))
        return;
    // Putting the drive list back on C: raises this handler again from inside itself; when C:
    // cannot be read either, that inner call has nothing left to fall back to.
    if (inDriveFallback_)
        return;
    inDriveFallback_ = true;
    QPointer<FindUnreal> self(this);
    UnrealMOD::DoEvents();
    if (!self)
        return;
    Dir1->SetPath(QString::fromLatin1(StartFolder));
    Drive1->SetDrive(QString::fromLatin1(StartFolder));
    inDriveFallback_ = false;
}

void FindUnreal::Dir1_Change() {
    ThePath->setText(Dir1->Path());
}

void FindUnreal::Command1_Click() {
    QPointer<FindUnreal> self(this);
    UnrealMOD::PlayCue(UnrealMOD::CuePath("\\VoiceSnd.wav"));
    if (!self)
        return;
    if (!UnrealMOD::ConfirmGameFolder(ThePath->text().toUtf8().toStdString())) {
        const QString text = QStringLiteral("Try Again");
        const QString title = QStringLiteral("System Failure");
        if (const MessageBoxFunction& hook = MessageBoxHook())
            hook(this, text, title);
        else
            ShowRealMessageBox(this, text, title);
        UnrealMOD::PlayCue(UnrealMOD::CuePath("\\ImpactFire.wav"));
        return;
    }
    LoadMainForm();
    if (self)
        close(); // deletes the window (WA_DeleteOnClose)
}

void FindUnreal::Command2_Click() {
    CloseAndQuit();
}

void FindUnreal::Command3_Click() {
    CloseAndQuit();
}

void FindUnreal::CloseAndQuit() {
    UnrealMOD::PlayCue(UnrealMOD::CuePath("\\unstoppable.wav"));
    close();
    QuitIfNoWindowLeft();
}

void FindUnreal::Form_MouseMove(Qt::MouseButtons buttons) {
    FreakyForm::DragForm(this, FreakyForm::ButtonState(buttons));
}

void FindUnreal::mouseMoveEvent(QMouseEvent* event) {
    Form_MouseMove(event->buttons());
    event->accept();
}

void LoadFindUnreal() {
    QPointer<FindUnreal> window = new FindUnreal;
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->Form_Load();
    if (!window)
        return;
    window->CentreOnScreen();
    window->show();
}

} // namespace ui
