#include "ui/Windows.h"

#include "ui/MainForm.h"

#include <QApplication>
#include <QPointer>
#include <QScreen>
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
    form->show();
    form->Picture1->setFocus();
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
