// Which way to read the screen, on Linux and other X11/Wayland systems.

#include "KWinGrab.h"
#include "NullGrab.h"
#include "PortalGrab.h"
#include "X11Grab.h"
#ifdef LUMARO_SCREENCOPY
#include "ScreencopyGrab.h"
#endif

#include "Log.h"
#include "Session.h"

#include <QGuiApplication>

using namespace Qt::StringLiterals;

namespace lumaro::capture {

namespace {

// The compositor's own way first; where it fails, the desktop portal.
class FallbackGrab final : public GrabBackend
{
public:
    FallbackGrab(std::unique_ptr<GrabBackend> first, const char *firstName, std::unique_ptr<GrabBackend> second,
                 const char *secondName)
        : m_first(std::move(first))
        , m_second(std::move(second))
        , m_firstName(firstName)
        , m_secondName(secondName)
    {
    }
    GrabResult grab(const QList<QScreen *> &screens) override
    {
        m_used = m_first.get();
        GrabResult r = m_first->grab(screens);
        if (r.error.isEmpty() || r.cancelled) {
            qCDebug(lcCapture, "route: %s", m_firstName);
            return r;
        }
        qCDebug(lcCapture, "route: %s failed (%s), then %s", m_firstName, qPrintable(r.error), m_secondName);
        m_used = m_second.get();
        r = m_second->grab(screens);
        if (r.error.isEmpty())
            qCDebug(lcCapture, "route: %s", m_secondName);
        return r;
    }
    void readScreens() override { m_used->readScreens(); }
    std::unique_ptr<Canvas> canvas(QWindow *window, int screen) override { return m_used->canvas(window, screen); }
    QImage fetch(int screen, QString *error) override { return m_used->fetch(screen, error); }
    std::vector<WindowOnScreen> windows(const QList<QWindow *> &own, const QList<WId> &skip) override
    {
        return m_used->windows(own, skip);
    }

private:
    std::unique_ptr<GrabBackend> m_first, m_second;
    GrabBackend *m_used = nullptr;
    const char *m_firstName, *m_secondName;
};

// One route, named in the log.
template<typename Backend>
std::unique_ptr<GrabBackend> only(const char *name)
{
    qCDebug(lcCapture, "route: %s", name);
    return std::make_unique<Backend>();
}

std::unique_ptr<GrabBackend> waylandBackend(const WaitNotice &notice)
{
    // LUMARO_CAPTURE=portal leaves the compositor's own way out (for
    // comparing the two, and for a compositor whose copies go wrong).
    const bool compositorsOwn = qEnvironmentVariable("LUMARO_CAPTURE") != u"portal";
    // KDE: KWin's screenshot interface, where KWin lets this program use it.
    if (compositorsOwn) {
        auto kwin = std::make_unique<KWinGrab>();
        if (qEnvironmentVariable("XDG_CURRENT_DESKTOP").contains(u"KDE") || kwin->usable())
            return std::make_unique<FallbackGrab>(std::move(kwin), "kwin", std::make_unique<PortalGrab>(QDBusConnection::sessionBus(), 60'000, 500, notice), "portal");
    }
#ifdef LUMARO_SCREENCOPY
    if (compositorsOwn) {
        auto screencopy = std::make_unique<ScreencopyGrab>();
        if (screencopy->usable())
            return std::make_unique<FallbackGrab>(std::move(screencopy), "screencopy", std::make_unique<PortalGrab>(QDBusConnection::sessionBus(), 60'000, 500, notice),
                                                  "portal");
    }
#endif
    qCDebug(lcCapture, "route: portal");
    return std::make_unique<PortalGrab>(QDBusConnection::sessionBus(), 60'000, 500, notice);
}

} // namespace

std::unique_ptr<GrabBackend> makeGrabBackend(WaitNotice notice)
{
    switch (session()) {
    case Session::Wayland:
        return waylandBackend(notice);
    case Session::XWayland:
        // The X server holds only the X windows: an X11 grab there gives
        // black or partial pictures. Only the compositor, or the portal,
        // sees the whole desktop.
        return waylandBackend(notice);
    case Session::X11:
        return only<X11Grab>("x11");
    case Session::Other:
        break;
    }
    return std::make_unique<NullGrab>(u"在这个显示平台（%1）上无法截取屏幕。"_s.arg(QGuiApplication::platformName()));
}

} // namespace lumaro::capture
