#pragma once

#include "GrabBackend.h"

#include <QDBusConnection>

namespace lumaro::capture {

// Reads each screen from KWin (KDE Plasma) through its own screenshot
// interface, org.kde.KWin.ScreenShot2: KWin writes the raw pixels into a pipe
// that we hand it, after a reply that says their format. No file, no dialog,
// no picture encoded and decoded on the way.
//
// KWin answers only programs whose installed desktop entry lists the
// interface under X-KDE-DBUS-Restricted-Interfaces; a program started from
// the build tree, or an older KWin without ScreenShot2, gets an error, and the
// desktop portal reads the screen instead (see BackendChoiceLinux.cpp).
class KWinGrab final : public GrabBackend
{
public:
    explicit KWinGrab(QDBusConnection bus = QDBusConnection::sessionBus(), int timeoutMs = 10'000);
    // KWin's screenshot service is on this bus.
    bool usable() const;

    // A screen as KWin knows it: its output's name and its logical place.
    struct Place
    {
        QString name;
        QRect geometry;
    };
    GrabResult grab(const QList<QScreen *> &screens) override;
    GrabResult grabPlaces(const std::vector<Place> &places);

private:
    QImage capture(const Place &place, QString *error);
    QImage call(const QString &method, const QVariantList &arguments, QString *error, QString *errorName);

    QDBusConnection m_bus;
    int m_timeoutMs;
};

} // namespace lumaro::capture
