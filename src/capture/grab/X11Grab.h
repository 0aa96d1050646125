#pragma once

#include "GrabBackend.h"
#include "PointerTrail.h"

#include <QAbstractNativeEventFilter>

#include <memory>
#include <vector>

struct xcb_connection_t;

namespace lumaro::capture {

// Reads each screen from the X server through shared memory (MIT-SHM), or
// with a plain GetImage where the server cannot share memory (a remote
// display), into the screen's own device pixels. Knows the other programs'
// windows too, in their stacking order, for one-click capture.
//
// With the render extension, the selector's windows show the frozen screen
// from the shared memory it came into, darkened by the server, and the
// program puts only what it draws over it (ServerCanvas); the picture is
// that shared memory. Without it they paint on a canvas that is the shared
// memory, put on the window from there, and the picture is copied out of
// it by a thread of its own, band by band as the server reads the screen.
//
// The screens are asked for without waiting, once the selector's windows
// exist and before they show (readScreens()): the X server answers requests
// in order, so the pictures are of the screens without the selector, however
// late the answer is read (fetch()). Meanwhile the program makes the
// selector's first frame ready. The windows on the screen are listed at the
// click, while the server has nothing else to do.
class X11Grab final : public GrabBackend, private QAbstractNativeEventFilter
{
public:
    X11Grab();
    ~X11Grab() override;
    GrabResult grab(const QList<QScreen *> &screens) override;
    void readScreens() override;
    std::unique_ptr<Canvas> canvas(QWindow *window, int screen) override;
    QImage fetch(int screen, QString *error) override;
    std::vector<WindowOnScreen> windows(const QList<QWindow *> &own, const QList<WId> &skip) override;
    std::optional<QPoint> pointerPixel(QPointF at) override;
    bool movePointer(QPoint pixel) override;
    struct PutWatch; // what a window showing a frozen screen has had put on it

private:
    // Records where each pointer event happened, before Qt rounds it.
    bool nativeEventFilter(const QByteArray &type, void *message, qintptr *result) override;
    struct Mapping;
    struct Band
    {
        unsigned int sequence = 0;
        int top = 0, rows = 0;
    };
    struct BandCopy;
    bool askShared(Mapping &m);
    QImage takeShared(Mapping &m);
    QImage grabPlain(const QRect &r);
    QRectF toLogical(const QRect &native) const;
    std::vector<WindowOnScreen> listWindows(const QList<QWindow *> &own);

    struct Mapping
    {
        QRect native, logical;
        qreal ratio = 1; // Qt's, by which it divides the screen's pixels
        // A picture asked for and not yet taken: the shared memory it comes
        // into, the server's name for it, and the requests, one per band.
        void *address = nullptr;
        quint32 segment = 0;
        bool asked = false, taken = false;
        std::vector<Band> bands;
        // Where the shared memory goes on as the selector's canvas, the
        // screen is asked for in several bands, and a thread copies each band
        // out to the picture's own memory as soon as the server has read it,
        // while the server reads the next.
        bool canvas = false;
        std::unique_ptr<BandCopy> copy;
        // Where the server shows the frozen screen itself (ServerCanvas):
        // one band, no copy; the picture is the shared memory, which goes
        // with the picture's last copy, and stays attached to the server
        // for the canvas.
        bool onServer = false;
        QImage frozen;
    };
    xcb_connection_t *m_conn = nullptr;
    quint32 m_root = 0;
    bool m_shm = false;
    quint32 m_rootVisual = 0;
    quint32 m_rootFormat = 0; // the render extension's format of the root's visual; 0 without it
    std::vector<Mapping> m_mapping;
    std::vector<WindowOnScreen> m_windows; // as they were when the screens were read
    std::vector<std::weak_ptr<PutWatch>> m_shown; // what each canvas that shows the frozen screen has put
    quint8 m_xinput = 0; // the input extension's opcode, which Qt's pointer events come through
    PointerTrail m_trail;
};

} // namespace lumaro::capture
