#include "ui/Windows.h"

#include "ui/MainForm.h"

#include <QApplication>
#include <QPalette>
#include <QPointer>
#include <QScreen>
#include <QStyle>
#include <QStyleFactory>
#include <QWidget>

namespace ui {

namespace {
QPointer<MainForm>& LoadedMainForm() {
    static QPointer<MainForm> form;
    return form;
}

void CentreOnScreen(QWidget* window) {
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    window->move(area.x() + (area.width() - window->width()) / 2,
                 area.y() + (area.height() - window->height()) / 2);
}
} // namespace

void LoadMainForm() {
    auto* form = new MainForm;
    form->setAttribute(Qt::WA_DeleteOnClose);
    LoadedMainForm() = form;
    if (!form->Form_Load())
        return; // the location window took over and has closed this one
    if (LoadedMainForm() != form)
        return;
    CentreOnScreen(form);
    // The picture box holds the focus from the start, also where no window manager hands the
    // window the keyboard.
    form->Picture1->setFocus();
    form->show();
    form->activateWindow();
    if (const std::string notice = UnrealMOD::StartupNotice(); !notice.empty())
        form->ShowProblem(notice);
}

void UseClassicLook() {
    // Qt's "Windows" style draws the classic controls: raised buttons, the single sunken border
    // of text boxes, list boxes and picture boxes, etched frames and a progress bar of blocks.
    QStyle* style = QStyleFactory::create(QStringLiteral("Windows"));
    if (!style)
        return; // a Qt built without it keeps its own look
    QApplication::setStyle(style);
    // The classic system colours, so that the 3D edges read as they were drawn to be.
    const QColor face(0xD4, 0xD0, 0xC8);
    QPalette palette(Qt::black, face, Qt::white, QColor(0x80, 0x80, 0x80), face, Qt::black,
                     Qt::white, Qt::white, face);
    palette.setColor(QPalette::Midlight, face);
    palette.setColor(QPalette::Mid, QColor(0xA0, 0xA0, 0xA0));
    palette.setColor(QPalette::Shadow, QColor(0x40, 0x40, 0x40));
    palette.setColor(QPalette::Highlight, QColor(0x0A, 0x24, 0x6A));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, QColor(0x80, 0x80, 0x80));
    QApplication::setPalette(palette);
}

void CloseMainForm() {
    if (MainForm* form = LoadedMainForm())
        form->close();
}

void QuitIfNoWindowLeft() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible())
            return;
    QCoreApplication::exit(0);
}

} // namespace ui
