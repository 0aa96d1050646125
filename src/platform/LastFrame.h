#pragma once

#include <QWidget>

namespace lumaro {

// Qt 6.4's Wayland client can abort (in libwayland's wl_proxy_unref) when
// a window is hidden while its event thread reads the compositor's answer
// to the window's last frame, which a dialog closed right after a repaint
// meets. Qt delivers a window's update request only once that answer is in:
// this asks for one and waits for it, at most 0.2 s, taking it so that the
// window does not repaint. Elsewhere, and for a window not on the screen,
// it returns at once.
void waitForLastFrame(QWidget *window);

// A dialog that waits for its last frame before it goes, however it is
// closed (a button, Esc, the window's close button).
template<typename Dialog>
class HiddenAfterLastFrame : public Dialog
{
public:
    using Dialog::Dialog;

    void setVisible(bool visible) override
    {
        if (!visible && this->isVisible() && !m_waiting) {
            m_waiting = true;
            waitForLastFrame(this);
            m_waiting = false;
        }
        Dialog::setVisible(visible);
    }

private:
    bool m_waiting = false;
};

} // namespace lumaro
