#pragma once

#include "GrabBackend.h"

struct xcb_connection_t;

namespace lumaro::capture {

// Reads each screen from the X server through shared memory (MIT-SHM), or
// with a plain GetImage where the server cannot share memory (a remote
// display), into the screen's own device pixels. Knows the other programs'
// windows too, in their stacking order, for one-click capture.
class X11Grab final : public GrabBackend
{
public:
    X11Grab();
    GrabResult grab(const QList<QScreen *> &screens) override;
    std::vector<WindowOnScreen> windows(const QList<QWindow *> &own, const QList<WId> &skip) override;

private:
    QImage grabShared(const QRect &native);
    QImage grabPlain(const QRect &native);
    QRectF toLogical(const QRect &native) const;

    struct Mapping
    {
        QRect native, logical;
    };
    xcb_connection_t *m_conn = nullptr;
    quint32 m_root = 0;
    std::vector<Mapping> m_mapping;
};

} // namespace lumaro::capture
