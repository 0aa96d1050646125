#include "platform/DialogClose.h"

#include "platform/FreeMemory.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QWindow>

#include <optional>

namespace lumaro {

namespace {

std::optional<bool> activeForTests;

bool isInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseMove:
    case QEvent::Wheel:
        return true;
    default:
        return false;
    }
}

constexpr int frameWaitMs = 200;
constexpr int deleteAfterMs = 250;

} // namespace

QWidget *dialogOwner()
{
    QWidget *window = QApplication::activeWindow();
    while (window && !window->isVisible())
        window = window->parentWidget() ? window->parentWidget()->window() : nullptr;
    return window;
}

DialogCloseGuard::DialogCloseGuard(QDialog *dialog)
    : QObject(dialog)
    , m_dialog(dialog)
{
    m_fallback.setSingleShot(true);
    connect(&m_fallback, &QTimer::timeout, this, &DialogCloseGuard::hideNow);
    connect(dialog, &QDialog::finished, this, &DialogCloseGuard::hideAfterLastFrame);
}

bool DialogCloseGuard::active()
{
    if (activeForTests)
        return *activeForTests;
    static const bool wayland = QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
    return wayland;
}

void DialogCloseGuard::setActiveForTests(bool on)
{
    activeForTests = on;
}

void DialogCloseGuard::watchWindow()
{
    QWindow *window = m_dialog->windowHandle();
    if (!active() || !window || window == m_window)
        return;
    if (m_window)
        m_window->removeEventFilter(this);
    m_window = window;
    window->installEventFilter(this);
}

void DialogCloseGuard::hideAfterLastFrame()
{
    if (!m_window || m_dialog->isHidden() || m_awaitingFrame)
        return;
    if (!m_window->isExposed()) {
        hideNow();
        return;
    }
    m_awaitingFrame = true;
    m_window->requestUpdate();
    m_fallback.start(frameWaitMs);
}

void DialogCloseGuard::hideNow()
{
    m_awaitingFrame = false;
    m_fallback.stop();
    m_dialog->hide();
}

bool DialogCloseGuard::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_window)
        return QObject::eventFilter(watched, event);
    const QEvent::Type type = event->type();
    if (type == QEvent::Close) {
        // Taken here, or the window would give up its platform window now.
        // The dialog is asked as the window would ask it: its close button
        // ends in its being done, as a button or Esc do. Once finished, it
        // hides when it may (hideAfterLastFrame), which ends its exec().
        if (m_awaitingFrame)
            return true;
        QCloseEvent close;
        QCoreApplication::sendEvent(m_dialog, &close);
        event->setAccepted(close.isAccepted());
        return true;
    }
    if (type == QEvent::UpdateRequest && m_awaitingFrame) {
        // Taken, not passed on: the window would paint and ask the
        // compositor for another frame.
        hideNow();
        return true;
    }
    // Once done, nothing a person does is the dialog's.
    if (m_awaitingFrame && isInput(type))
        return true;
    return QObject::eventFilter(watched, event);
}

void DialogCloseGuard::dispose(QDialog *dialog, DialogCloseGuard *guard)
{
    if (!dialog)
        return;
    if (!guard || !guard->m_window) {
        delete dialog;
        return;
    }
    // exec() has ended with the hide; a dialog let go of sooner hides now.
    guard->hideNow();
    guard->m_window->removeEventFilter(guard);
    QTimer::singleShot(deleteAfterMs, dialog, [dialog] {
        dialog->deleteLater();
        releaseMemoryLater();
    });
}

} // namespace lumaro
