#pragma once

#include <QDialog>
#include <QPointer>
#include <QTimer>

#include <memory>
#include <utility>

class QShowEvent;
class QWindow;

namespace lumaro {

// Qt 6.4's Wayland client reads the compositor's answer to a window's last
// frame on a thread of its own, and uses the window while it does. Since
// Qt 6.3 a dialog that is done gives up its platform window at once, hidden
// and deleted in one go: when that thread is in the middle of the answer
// just then, the program crashes (in QWaylandWindow::handleFrameCallback,
// or in libwayland's wl_proxy_unref when the hide meets it).
//
// A dialog made with makeDialog() closes in three steps instead, under
// Wayland: done, it keeps its platform window; it hides once the answer to
// its last frame is in (the window's update request, which Qt delivers only
// then) or after 0.2 s; and it is deleted a quarter of a second after that,
// when the thread has long left it. Elsewhere it closes as Qt closes it and
// is deleted as soon as its owner lets go of it.
class DialogCloseGuard : public QObject
{
public:
    explicit DialogCloseGuard(QDialog *dialog);

    // Under Wayland, unless a test says otherwise.
    static bool active();
    static void setActiveForTests(bool on);

    void watchWindow();

    // Deletes the dialog a quarter of a second after it hid; at once where
    // the guard is not active.
    static void dispose(QDialog *dialog, DialogCloseGuard *guard);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void hideAfterLastFrame();
    void hideNow();

    QDialog *m_dialog;
    QPointer<QWindow> m_window;
    QTimer m_fallback;
    bool m_awaitingFrame = false;
};

// The window a new dialog belongs to: the active one, or where that is a
// dialog already hidden (under Wayland the compositor says a little later
// that another window is active) the nearest shown window it belongs to.
// A dialog owned by one that is on its way out would go with it.
QWidget *dialogOwner();

template<typename Dialog>
class GuardedDialog final : public Dialog
{
public:
    template<typename... Args>
    explicit GuardedDialog(Args &&...args)
        : Dialog(std::forward<Args>(args)...)
        , m_guard(new DialogCloseGuard(this))
    {
    }

    DialogCloseGuard *closeGuard() const { return m_guard; }

protected:
    void showEvent(QShowEvent *event) override
    {
        m_guard->watchWindow();
        Dialog::showEvent(event);
    }

private:
    DialogCloseGuard *m_guard;
};

template<typename Dialog>
struct DisposeDialog
{
    void operator()(GuardedDialog<Dialog> *dialog) const
    {
        DialogCloseGuard::dispose(dialog, dialog ? dialog->closeGuard() : nullptr);
    }
};

template<typename Dialog>
using DialogPtr = std::unique_ptr<GuardedDialog<Dialog>, DisposeDialog<Dialog>>;

template<typename Dialog, typename... Args>
DialogPtr<Dialog> makeDialog(Args &&...args)
{
    return DialogPtr<Dialog>(new GuardedDialog<Dialog>(std::forward<Args>(args)...));
}

} // namespace lumaro
