#include "ui/FreakyForm.h"

#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QWidget>
#include <QWindow>

namespace FreakyForm {

namespace {

std::function<bool(QWindow*)>& SystemMoveHook() {
    static std::function<bool(QWindow*)> hook;
    return hook;
}

bool RequestSystemMove(QWindow* handle) {
    if (const auto& hook = SystemMoveHook())
        return hook(handle);
    return handle != nullptr && handle->startSystemMove();
}

// Moves a window with the mouse until the left button is released: what the system would do for
// a press on a title bar, for systems that cannot be asked to.
class MouseFollower : public QObject {
public:
    MouseFollower(QWidget* window, QPoint start) : window_(window), last_(start) {
        QCoreApplication::instance()->installEventFilter(this);
        window->grabMouse();
    }
    ~MouseFollower() override {
        if (window_)
            window_->releaseMouse();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (window_.isNull()) {
            deleteLater();
            return false;
        }
        switch (event->type()) {
        case QEvent::MouseMove: {
            auto* me = static_cast<QMouseEvent*>(event);
            if (!(me->buttons() & Qt::LeftButton)) {
                Finish();
                return false;
            }
            const QPoint now = me->globalPosition().toPoint();
            window_->move(window_->pos() + (now - last_));
            last_ = now;
            return false;
        }
        case QEvent::MouseButtonRelease:
            if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
                Finish();
            return false;
        default:
            return QObject::eventFilter(watched, event);
        }
    }

private:
    void Finish() {
        QCoreApplication::instance()->removeEventFilter(this);
        if (window_)
            window_->releaseMouse();
        window_ = nullptr;
        Current() = nullptr;
        deleteLater();
    }

public:
    static QPointer<MouseFollower>& Current() {
        static QPointer<MouseFollower> current;
        return current;
    }

private:
    QPointer<QWidget> window_;
    QPoint last_;
};

} // namespace

int ButtonState(Qt::MouseButtons buttons) {
    int state = 0;
    if (buttons & Qt::LeftButton)
        state += 1;
    if (buttons & Qt::RightButton)
        state += 2;
    if (buttons & Qt::MiddleButton)
        state += 4;
    return state;
}

void DragForm(QWidget* window, int buttonState) {
    if (buttonState != 1 || window == nullptr)
        return;
    window = window->window();
    if (MouseFollower::Current())
        return; // already following the mouse
    // The system move takes over the pointer itself; any grab of ours would stand in its way.
    if (QWidget* grabber = QWidget::mouseGrabber())
        grabber->releaseMouse();
    if (RequestSystemMove(window->windowHandle()))
        return;
    MouseFollower::Current() = new MouseFollower(window, QCursor::pos());
}

bool FollowingMouse() {
    return !MouseFollower::Current().isNull();
}

void SetSystemMoveForTesting(std::function<bool(QWindow*)> systemMove) {
    SystemMoveHook() = std::move(systemMove);
}

} // namespace FreakyForm
