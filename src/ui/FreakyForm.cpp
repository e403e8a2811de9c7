#include "ui/FreakyForm.h"

#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
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
    // On X11 a window manager's move that starts while the button is already down can outlive
    // the button's release, leaving the window stuck to the pointer: there the window follows
    // the mouse by our own hand, which X11 allows.
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        return false;
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

// One system move per press: moves that were already queued when the system took over the pointer
// must not ask again (a window manager may start a second move that outlives the button).
class PressWatcher : public QObject {
public:
    explicit PressWatcher(QObject* application) : QObject(application) {
        application->installEventFilter(this);
    }
    static bool& Moving() {
        static bool moving = false;
        return moving;
    }
    static void Start() {
        static QPointer<PressWatcher> watcher; // goes with the application
        if (!watcher)
            watcher = new PressWatcher(QCoreApplication::instance());
        Moving() = true;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (Moving()) {
            switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
                Moving() = false;
                break;
            case QEvent::MouseMove:
                if (!(static_cast<QMouseEvent*>(event)->buttons() & Qt::LeftButton))
                    Moving() = false;
                break;
            default:
                break;
            }
        }
        return QObject::eventFilter(watched, event);
    }
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
    if (MouseFollower::Current() || PressWatcher::Moving())
        return; // this press is already moving the window
    // The system move takes over the pointer itself; any grab of ours would stand in its way.
    if (QWidget* grabber = QWidget::mouseGrabber())
        grabber->releaseMouse();
    if (RequestSystemMove(window->windowHandle())) {
        PressWatcher::Start();
        return;
    }
    MouseFollower::Current() = new MouseFollower(window, QCursor::pos());
}

bool FollowingMouse() {
    return !MouseFollower::Current().isNull();
}

void SetSystemMoveForTesting(std::function<bool(QWindow*)> systemMove) {
    SystemMoveHook() = std::move(systemMove);
}

} // namespace FreakyForm
