#include "platform/LastFrame.h"

#include <QEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QTimer>
#include <QWindow>

namespace lumaro {

namespace {

class UpdateRequestTaker : public QObject
{
public:
    explicit UpdateRequestTaker(QEventLoop &loop)
        : m_loop(loop)
    {
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::UpdateRequest)
            return QObject::eventFilter(watched, event);
        m_loop.quit();
        return true;
    }

private:
    QEventLoop &m_loop;
};

} // namespace

void waitForLastFrame(QWidget *window)
{
    if (!QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        return;
    QWindow *handle = window ? window->windowHandle() : nullptr;
    if (!handle || !handle->isExposed())
        return;
    QEventLoop wait;
    UpdateRequestTaker taker(wait);
    handle->installEventFilter(&taker);
    handle->requestUpdate();
    QTimer::singleShot(200, &wait, &QEventLoop::quit);
    // Nothing a person does reaches the dialog meanwhile: it is on its way out.
    wait.exec(QEventLoop::ExcludeUserInputEvents);
    handle->removeEventFilter(&taker);
}

} // namespace lumaro
