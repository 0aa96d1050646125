#pragma once

#include "GrabBackend.h"

#include <QDBusConnection>
#include <QDateTime>

namespace lumaro::capture {

// Asks the desktop portal for a picture of the whole desktop
// (org.freedesktop.portal.Screenshot, without its own dialog) and cuts it into
// one picture per screen. The only way to read the screen on Wayland, and the
// only right one under XWayland, where the X server sees only X windows.
//
// The window keeps painting while the portal works. If no answer has come
// after `patienceMs`, a small dialog says what is being waited for and offers
// to give up; after `timeoutMs` the grab fails with a message.
class PortalGrab final : public GrabBackend
{
public:
    explicit PortalGrab(QDBusConnection bus = QDBusConnection::sessionBus(), int timeoutMs = 60'000,
                        int patienceMs = 500, WaitNotice notice = {});
    GrabResult grab(const QList<QScreen *> &screens) override;

    // The same for screens known only by their geometry (no QScreen).
    GrabResult grabLayout(const std::vector<QRect> &screens);

private:
    QImage requestPicture(QString *error, bool *cancelled);

    QDBusConnection m_bus;
    int m_timeoutMs;
    int m_patienceMs;
    WaitNotice m_notice;
};

// Whether a file lies where temporary files go.
bool isTemporaryPlace(const QString &path);
// Whether the portal made the file it returned for a request made at `asked`:
// written since, and either born since (where the file system keeps birth
// times) or in a temporary place, where a portal may reuse one name.
bool madeForRequest(const QString &path, const QDateTime &asked);

} // namespace lumaro::capture
