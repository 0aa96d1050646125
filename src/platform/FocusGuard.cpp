#include "platform/FocusGuard.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QWindow>

namespace lumaro {

namespace {

// Events that can move the keyboard focus to another widget, or open
// something that does.
bool canMoveFocus(QEvent::Type type)
{
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseButtonRelease:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
    case QEvent::TabletPress:
        return true;
    default:
        return false;
    }
}

class LostFocusWindowFilter : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!canMoveFocus(event->type()))
            return QObject::eventFilter(watched, event);
        // Qt keeps its focus on a window that has gone or is hidden until
        // the compositor says where the keyboard focus went: keys read in
        // the meantime were meant for that window, not for the one under it.
        const QWindow *focus = QGuiApplication::focusWindow();
        if (focus && (!focus->handle() || !focus->isVisible())) {
            event->accept();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

void holdBackInputWhileFocusWindowIsGone()
{
    QCoreApplication *app = QCoreApplication::instance();
    app->installEventFilter(new LostFocusWindowFilter(app));
}

void guardAgainstLostFocusWindow()
{
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        holdBackInputWhileFocusWindowIsGone();
}

} // namespace lumaro
