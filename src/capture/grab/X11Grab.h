#pragma once

#include "GrabBackend.h"
#include "PointerTrail.h"

#include <QAbstractNativeEventFilter>

struct xcb_connection_t;

namespace lumaro::capture {

// Reads each screen from the X server through shared memory (MIT-SHM), or
// with a plain GetImage where the server cannot share memory (a remote
// display), into the screen's own device pixels. Knows the other programs'
// windows too, in their stacking order, for one-click capture.
//
// To put the selector on the screen as early as possible, the screens are
// first copied into pixmaps on the X server, where a darker copy is made as
// well; each selector window shows its darker copy as its background the
// moment it maps, before the program has painted anything. The pixels come
// over to the program right after that (fetch()).
class X11Grab final : public GrabBackend, private QAbstractNativeEventFilter
{
public:
    X11Grab();
    ~X11Grab() override;
    GrabResult grab(const QList<QScreen *> &screens) override;
    void prepareOverlay(QWindow *window, int screen) override;
    QImage fetch(int screen, QString *error) override;
    std::vector<WindowOnScreen> windows(const QList<QWindow *> &own, const QList<WId> &skip) override;
    std::optional<QPoint> pointerPixel(QPointF at) override;
    bool movePointer(QPoint pixel) override;

private:
    // Records where each pointer event happened, before Qt rounds it.
    bool nativeEventFilter(const QByteArray &type, void *message, qintptr *result) override;
    QImage grabShared(quint32 drawable, const QRect &r);
    QImage grabPlain(quint32 drawable, const QRect &r);
    QRectF toLogical(const QRect &native) const;
    bool canFreezeOnServer();
    void freezeOnServer(const QRect &native);

    struct Mapping
    {
        QRect native, logical;
        qreal ratio = 1; // Qt's, by which it divides the screen's pixels
        quint32 frozen = 0, dimmed = 0; // server-side pixmaps, when frozen there
    };
    xcb_connection_t *m_conn = nullptr;
    quint32 m_root = 0;
    quint32 m_gc = 0;
    quint32 m_format = 0; // RENDER's picture format for the root's depth
    bool m_shm = false;
    std::vector<Mapping> m_mapping;
    quint8 m_xinput = 0; // the input extension's opcode, which Qt's pointer events come through
    PointerTrail m_trail;
};

} // namespace lumaro::capture
