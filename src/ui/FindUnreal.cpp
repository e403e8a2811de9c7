#include "ui/FindUnreal.h"

#include "forms/Definitions.h"
#include "ui/Controls.h"
#include "ui/DirListBox.h"
#include "ui/DriveListBox.h"
#include "ui/FreakyForm.h"
#include "ui/Twips.h"
#include "ui/WidgetStyle.h"
#include "ui/Windows.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSpacerItem>

namespace ui {

namespace {

const float FormWidth = forms::FindUnrealDefinition().rect.width;
const float FormHeight = forms::FindUnrealDefinition().rect.height;

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption) {
    // No default or cancel button: the Enter key presses a button only while it has the focus.
    auto* button = new CommandButton(QString::fromLatin1(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

void ShowRealMessageBox(QWidget* owner, const QString& text, const QString& title) {
    QMessageBox* box = NewMessageBox(owner, text, title);
    box->exec();
    delete box;
}

} // namespace

QMessageBox* NewMessageBox(QWidget* owner, const QString& text, const QString& title) {
    auto* box = new QMessageBox(QMessageBox::Critical, title, text, QMessageBox::Ok, owner);
    if (QAbstractButton* ok = box->button(QMessageBox::Ok))
        ok->setIcon(QIcon()); // a plain OK, whatever the desktop puts on its dialog buttons
    // Qt sizes the box to its text alone, and a window manager then cuts its title short. Leave
    // room for the title in a bold title-bar face, with the bar's icon and three buttons beside it.
    QFont titleFont = QApplication::font("QMdiSubWindowTitleBar");
    titleFont.setBold(true);
    const QFontMetrics metrics(titleFont);
    const int wanted = metrics.horizontalAdvance(title) + 6 * metrics.height();
    if (auto* grid = qobject_cast<QGridLayout*>(box->layout()))
        grid->addItem(new QSpacerItem(wanted, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
    return box;
}

FindUnreal::MessageBoxFunction& FindUnreal::MessageBoxHook() {
    static MessageBoxFunction hook;
    return hook;
}

FindUnreal::FindUnreal(QWidget* parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
    const forms::Form& form = forms::FindUnrealDefinition();
    const auto def = [&form](const char* name) -> const forms::Control& {
        return *forms::Find(form, name);
    };
    const auto font = [](const forms::Control& d) {
        return PlainFont(d.font->face, d.font->points, d.font->bold);
    };
    const auto colour = [](const forms::Rgb& c) { return QColor(c.r, c.g, c.b); };

    setObjectName(QString::fromLatin1(form.name));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QString::fromUtf8(form.title));
    // No icon of its own, and none borrowed from the program: a fully transparent one.
    QPixmap blank(16, 16);
    blank.fill(Qt::transparent);
    setWindowIcon(QIcon(blank));
    setFont(PlainFont(form.font.face, form.font.points, form.font.bold));
    setAutoFillBackground(true);
    SetColour(this, QPalette::Window, colour(*form.back));
    SetTwips(this, form.rect);
    setFixedSize(size());

    const forms::Control& frame = def("Frame1");
    Frame1 = new QFrame(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setFrameShape(QFrame::NoFrame);
    Frame1->setAutoFillBackground(true);
    SetColour(Frame1, QPalette::Window, colour(*frame.back));
    // A mouse move over the panel belongs to the panel, never to the window's drag.
    Frame1->setAttribute(Qt::WA_NoMousePropagation);
    SetTwips(Frame1, frame.rect);

    // Created back to front: the heading lies behind the controls it touches.
    const forms::Control& heading = def("Label1");
    Label1 = new QLabel(QString::fromUtf8(heading.caption), Frame1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(font(heading));
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1->setWordWrap(true);
    Label1->setAutoFillBackground(false);
    SetColour(Label1, QPalette::WindowText, colour(*heading.fore));
    SetTwips(Label1, heading.rect);

    const auto button = [&](const char* name, QWidget* parent) {
        const forms::Control& d = def(name);
        QPushButton* b = MakeButton(parent, name, d.caption);
        if (d.font)
            b->setFont(font(d));
        SetTwips(b, d.rect);
        return b;
    };
    Command2 = button("Command2", Frame1);
    Command1 = button("Command1", Frame1);

    const forms::Control& path = def("ThePath");
    ThePath = new QLineEdit(QString::fromUtf8(path.caption), Frame1);
    ThePath->setObjectName(QStringLiteral("ThePath"));
    SetTwips(ThePath, path.rect);

    Drive1 = new DriveListBox(Frame1);
    Drive1->setObjectName(QStringLiteral("Drive1"));
    SetTwips(Drive1, def("Drive1").rect);

    Dir1 = new DirListBox(Frame1);
    Dir1->setObjectName(QStringLiteral("Dir1"));
    SetTwips(Dir1, def("Dir1").rect);

    Command3 = button("Command3", this);
    Command3->raise();

    // Keyboard order from the definition; the panel and the heading never take the focus, so
    // "Cancel" is the first to get it.
    Frame1->setFocusPolicy(Qt::NoFocus);
    Label1->setFocusPolicy(Qt::NoFocus);
    const std::vector<const forms::Control*> order = forms::FocusOrder(form);
    for (std::size_t i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(findChild<QWidget*>(QString::fromLatin1(order[i - 1]->name)),
                             findChild<QWidget*>(QString::fromLatin1(order[i]->name)));

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

forms::StillLoaded FindUnreal::Loaded() {
    return [self = QPointer<FindUnreal>(this)] { return !self.isNull(); };
}

void FindUnreal::Form_Load() {
    forms::FindUnreal_Load(*this, Loaded());
}

void FindUnreal::Drive1_Change() {
    forms::Drive1_Change(*this, inDriveFallback_, Loaded());
}

void FindUnreal::Dir1_Change() {
    forms::Dir1_Change(*this);
}

void FindUnreal::Command1_Click() {
    forms::Command1_Click(*this, Loaded());
}

void FindUnreal::Command2_Click() {
    forms::CloseCommand_Click(*this);
}

void FindUnreal::Command3_Click() {
    forms::CloseCommand_Click(*this);
}

bool FindUnreal::SetDrive(const std::string& drive) {
    return Drive1->SetDrive(QString::fromUtf8(drive));
}

std::string FindUnreal::Drive() const {
    return Drive1->Drive().toUtf8().toStdString();
}

bool FindUnreal::SetDirPath(const std::string& path) {
    return Dir1->SetPath(QString::fromUtf8(path));
}

std::string FindUnreal::DirPath() const {
    return Dir1->Path().toUtf8().toStdString();
}

std::string FindUnreal::ThePathText() const {
    return ThePath->text().toUtf8().toStdString();
}

void FindUnreal::SetThePathText(const std::string& text) {
    SetTextBoxText(ThePath, QString::fromUtf8(text));
}

void FindUnreal::ShowTryAgain() {
    const QString text = QString::fromLatin1(forms::TryAgainText);
    const QString title = QString::fromLatin1(forms::TryAgainTitle);
    if (const MessageBoxFunction& hook = MessageBoxHook())
        hook(this, text, title);
    else
        ShowRealMessageBox(this, text, title);
}

void FindUnreal::CloseMainForm() {
    ui::CloseMainForm();
}

void FindUnreal::OpenMainForm() {
    LoadMainForm();
}

void FindUnreal::CloseWindow() {
    close(); // deletes the window (WA_DeleteOnClose)
    QuitIfNoWindowLeft();
}

void FindUnreal::Form_MouseMove(Qt::MouseButtons buttons) {
    FreakyForm::DragForm(this, FreakyForm::ButtonState(buttons));
}

void FindUnreal::closeEvent(QCloseEvent* event) {
    event->accept();
    // Closed from outside (the window manager's close command): with no window left, the
    // program ends, as after "Cancel". Queued, so that the window is gone when it is asked.
    QMetaObject::invokeMethod(
        qApp, [] { QuitIfNoWindowLeft(); }, Qt::QueuedConnection);
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
    // "Cancel" holds the focus from the start, also where no window manager hands the window
    // the keyboard.
    window->Command2->setFocus();
    window->show();
    window->activateWindow();
}

} // namespace ui
