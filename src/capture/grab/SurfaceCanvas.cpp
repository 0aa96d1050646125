#include "SurfaceCanvas.h"

#include "Log.h"
#include "Pages.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QGuiApplication>
#include <QPointer>

#include <wayland-client.h>

#include <dlfcn.h>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <system_error>
#include <thread>

namespace lumaro::capture {

namespace {

// Qt's connection to the compositor and a window's surface on it, asked of
// Qt's Wayland client library by name: Qt 6.4 has no public interface for
// them, and its private headers do not come with the development packages
// this program builds with. Both functions are members of the platform's
// native interface object, called with it as their first argument.
struct QtWayland
{
    using ForIntegration = void *(*)(void *self, const QByteArray &resource);
    using ForWindow = void *(*)(void *self, const QByteArray &resource, QWindow *window);
    void *native = nullptr;
    ForIntegration forIntegration = nullptr;
    ForWindow forWindow = nullptr;

    wl_display *display() const { return static_cast<wl_display *>(forIntegration(native, "wl_display")); }
    wl_surface *surface(QWindow *window) const
    {
        return static_cast<wl_surface *>(forWindow(native, "surface", window));
    }
};

const QtWayland *qtWayland()
{
    static const QtWayland found = [] {
        QtWayland q;
        if (!QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
            return q;
        // Already loaded by the platform plugin; only looked at here.
        void *library = dlopen("libQt6WaylandClient.so.6", RTLD_LAZY | RTLD_NOLOAD);
        if (!library)
            return q;
        q.forIntegration = reinterpret_cast<QtWayland::ForIntegration>(
            dlsym(library, "_ZN15QtWaylandClient23QWaylandNativeInterface28nativeResourceForIntegrationERK10QByteArray"));
        q.forWindow = reinterpret_cast<QtWayland::ForWindow>(
            dlsym(library, "_ZN15QtWaylandClient23QWaylandNativeInterface23nativeResourceForWindowERK10QByteArrayP7QWindow"));
        q.native = QGuiApplication::platformNativeInterface();
        return q;
    }();
    return found.native && found.forIntegration && found.forWindow ? &found : nullptr;
}

// The pages of `bytes` at `data`, made before the paint needs them; by
// touching each where the kernel cannot make them at once.
void pagesReadyForPaint(void *data, std::size_t bytes)
{
    if (makePagesReady(data, bytes))
        return;
    auto *bits = static_cast<volatile uchar *>(data);
    for (std::size_t at = 0; at < bytes; at += 4096)
        bits[at] = 0;
}

void startPages(std::thread &pages, uchar *bits, std::size_t bytes)
{
    try {
        pages = std::thread([bits, bytes] { pagesReadyForPaint(bits, bytes); });
    } catch (const std::system_error &) {
        // the paint makes them
    }
}

} // namespace

// Two buffers of the window's size in one piece of shared memory.
struct CanvasMemory
{
    QSize pixels;
    int fd = -1;
    void *memory = MAP_FAILED;
    std::size_t bytes = 0; // of one buffer, whole pages
    std::thread pages[2];  // making each buffer's pages ready

    uchar *bits(int buffer) const { return static_cast<uchar *>(memory) + std::size_t(buffer) * bytes; }
    void ready(int buffer)
    {
        if (pages[buffer].joinable())
            pages[buffer].join();
    }
    ~CanvasMemory()
    {
        ready(0);
        ready(1);
        if (memory != MAP_FAILED)
            munmap(memory, 2 * bytes);
        if (fd >= 0)
            close(fd);
    }
};

namespace {

class WaylandSurfaceCanvas final : public QObject, public Canvas
{
public:
    WaylandSurfaceCanvas(const QtWayland &qt, QWindow *window, std::shared_ptr<CanvasMemory> memory, qreal ratio);
    ~WaylandSurfaceCanvas() override;
    bool made() const { return m_buffers[1].buffer; }

    QImage &image() override;
    void put(const QRegion &pixels) override;

private:
    struct Buffer
    {
        wl_buffer *buffer = nullptr;
        QImage image;
        bool held = false;   // put, and not yet given back by the compositor
        QRegion stale;       // put on the other buffer since this one was painted
    };
    static const wl_buffer_listener Released;
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool waitFor(const Buffer &b);

    const QtWayland &m_qt;
    QPointer<QWindow> m_window;
    wl_display *m_display = nullptr;
    wl_event_queue *m_queue = nullptr; // the buffers' own, so waiting for them dispatches nothing of Qt's
    wl_shm *m_shm = nullptr;
    wl_shm_pool *m_pool = nullptr;
    std::shared_ptr<CanvasMemory> m_memory;
    Buffer m_buffers[2];
    int m_current = 0; // the buffer painted and put
    bool m_secondStarted = false;
    bool m_framePut = false; // a whole frame went to the surface
};

const wl_buffer_listener WaylandSurfaceCanvas::Released = {
    .release = [](void *data, wl_buffer *) { static_cast<Buffer *>(data)->held = false; },
};

WaylandSurfaceCanvas::WaylandSurfaceCanvas(const QtWayland &qt, QWindow *window, std::shared_ptr<CanvasMemory> memory,
                                           qreal ratio)
    : m_qt(qt)
    , m_window(window)
    , m_display(qt.display())
    , m_memory(std::move(memory))
{
    if (!m_display)
        return;
    m_queue = wl_display_create_queue(m_display);
    // wl_shm bound anew on Qt's connection, its answers on this queue.
    auto *wrapper = static_cast<wl_display *>(wl_proxy_create_wrapper(m_display));
    wl_proxy_set_queue(reinterpret_cast<wl_proxy *>(wrapper), m_queue);
    wl_registry *registry = wl_display_get_registry(wrapper);
    wl_proxy_wrapper_destroy(wrapper);
    static const wl_registry_listener globals = {
        .global =
            [](void *data, wl_registry *r, uint32_t id, const char *interface, uint32_t) {
                auto *shm = static_cast<wl_shm **>(data);
                if (!*shm && std::strcmp(interface, wl_shm_interface.name) == 0)
                    *shm = static_cast<wl_shm *>(wl_registry_bind(r, id, &wl_shm_interface, 1));
            },
        .global_remove = [](void *, wl_registry *, uint32_t) {},
    };
    wl_registry_add_listener(registry, &globals, &m_shm);
    const bool answered = wl_display_roundtrip_queue(m_display, m_queue) >= 0;
    wl_registry_destroy(registry);
    if (!answered || !m_shm)
        return;

    const QSize pixels = m_memory->pixels;
    const int stride = pixels.width() * 4;
    m_pool = wl_shm_create_pool(m_shm, m_memory->fd, int32_t(2 * m_memory->bytes));
    for (int i = 0; i < 2; ++i) {
        Buffer &b = m_buffers[i];
        b.image = QImage(m_memory->bits(i), pixels.width(), pixels.height(), stride, QImage::Format_RGB32);
        b.image.setDevicePixelRatio(ratio);
        b.buffer = wl_shm_pool_create_buffer(m_pool, int32_t(std::size_t(i) * m_memory->bytes), pixels.width(),
                                             pixels.height(), stride, WL_SHM_FORMAT_XRGB8888);
        wl_buffer_add_listener(b.buffer, &Released, &b);
    }
    // The other buffer has nothing yet: all of it comes from the first.
    m_buffers[1].stale = QRegion(m_buffers[1].image.rect());
    wl_display_flush(m_display);
    window->installEventFilter(this);
}

bool WaylandSurfaceCanvas::eventFilter(QObject *watched, QEvent *event)
{
    // Qt has a window that paints on its own buffers repaint it whole at
    // every expose, as at each configure the compositor sends (sway's for
    // full screen, right after the first frame). The compositor keeps the
    // buffer last put, and every change since was painted and put as it
    // came: only an expose at another size needs a new frame, and the
    // resize that comes with it asks for one.
    if (event->type() == QEvent::Expose && m_framePut && watched == m_window && m_window->isExposed()
        && QSize(qRound(m_window->width() * m_window->devicePixelRatio()),
                 qRound(m_window->height() * m_window->devicePixelRatio()))
               == m_buffers[0].image.size())
        return true;
    return QObject::eventFilter(watched, event);
}

WaylandSurfaceCanvas::~WaylandSurfaceCanvas()
{
    for (Buffer &b : m_buffers)
        if (b.buffer)
            wl_buffer_destroy(b.buffer);
    if (m_pool)
        wl_shm_pool_destroy(m_pool);
    if (m_shm)
        wl_shm_destroy(m_shm);
    if (m_display)
        wl_display_flush(m_display);
    if (m_queue)
        wl_event_queue_destroy(m_queue);
}

bool WaylandSurfaceCanvas::waitFor(const Buffer &b)
{
    // Only this queue's events are dispatched here; Qt's are read along
    // and left for Qt, as a second reader of a connection may.
    QElapsedTimer waited;
    waited.start();
    while (b.held) {
        if (wl_display_dispatch_queue_pending(m_display, m_queue) < 0)
            return false;
        if (!b.held)
            break;
        if (wl_display_prepare_read_queue(m_display, m_queue) != 0)
            continue; // events came in meanwhile: dispatched first
        wl_display_flush(m_display);
        const qint64 left = 1000 - waited.elapsed();
        pollfd fd = { wl_display_get_fd(m_display), POLLIN, 0 };
        if (left > 0 && poll(&fd, 1, int(left)) > 0) {
            if (wl_display_read_events(m_display) < 0)
                return false;
        } else {
            wl_display_cancel_read(m_display);
            if (left <= 0)
                return false;
        }
    }
    return true;
}

QImage &WaylandSurfaceCanvas::image()
{
    Buffer &current = m_buffers[m_current];
    m_memory->ready(m_current);
    if (current.held)
        wl_display_dispatch_queue_pending(m_display, m_queue);
    if (!current.held)
        return current.image;
    // The compositor may still read the buffer last put: the next frame
    // goes to the other one, once the compositor has given that back, and
    // brought up to date from this one first.
    Buffer &next = m_buffers[1 - m_current];
    m_memory->ready(1 - m_current);
    if (!waitFor(next))
        qCWarning(lcCapture, "selector: the compositor kept both buffers for a second; painting on anyway");
    const uchar *from = current.image.constBits();
    uchar *to = next.image.bits();
    const qsizetype stride = next.image.bytesPerLine();
    for (const QRect &r : next.stale & next.image.rect())
        for (int y = r.top(); y <= r.bottom(); ++y)
            std::memcpy(to + y * stride + r.x() * 4, from + y * stride + r.x() * 4, std::size_t(r.width()) * 4);
    next.stale = QRegion();
    m_current = 1 - m_current;
    return next.image;
}

void WaylandSurfaceCanvas::put(const QRegion &pixels)
{
    Buffer &b = m_buffers[m_current];
    wl_surface *surface = m_window ? m_qt.surface(m_window) : nullptr;
    if (!surface)
        return;
    const QRect all = b.image.rect();
    const bool inPixels = wl_proxy_get_version(reinterpret_cast<wl_proxy *>(surface)) >= 4;
    const qreal k = b.image.devicePixelRatio();
    wl_surface_attach(surface, b.buffer, 0, 0);
    for (const QRect &r : pixels & all) {
        if (inPixels) {
            wl_surface_damage_buffer(surface, r.x(), r.y(), r.width(), r.height());
        } else {
            const QRect d = QRectF(r.x() / k, r.y() / k, r.width() / k, r.height() / k).toAlignedRect();
            wl_surface_damage(surface, d.x(), d.y(), d.width(), d.height());
        }
    }
    wl_surface_commit(surface);
    wl_display_flush(m_display);
    b.held = true;
    m_framePut = m_framePut || (pixels & all) == QRegion(all);
    Buffer &other = m_buffers[1 - m_current];
    other.stale += pixels & all;
    // The second buffer's memory, for the frames after the first, is made
    // while the compositor shows this one.
    if (!m_secondStarted) {
        m_secondStarted = true;
        startPages(m_memory->pages[1], m_memory->bits(1), m_memory->bytes);
    }
}

} // namespace

std::shared_ptr<CanvasMemory> prepareCanvasMemory(QSize pixels)
{
    if (!qtWayland() || pixels.isEmpty())
        return nullptr;
    auto m = std::make_shared<CanvasMemory>();
    m->pixels = pixels;
    const std::size_t page = std::size_t(sysconf(_SC_PAGESIZE));
    m->bytes = (std::size_t(pixels.width()) * 4 * std::size_t(pixels.height()) + page - 1) / page * page;
    if (2 * m->bytes > std::size_t(INT32_MAX))
        return nullptr;
    m->fd = memfd_create("lumaro-selector", MFD_CLOEXEC);
    if (m->fd < 0 || ftruncate(m->fd, off_t(2 * m->bytes)) != 0)
        return nullptr;
    m->memory = mmap(nullptr, 2 * m->bytes, PROT_READ | PROT_WRITE, MAP_SHARED, m->fd, 0);
    if (m->memory == MAP_FAILED)
        return nullptr;
    return m;
}

int canvasFile(const CanvasMemory &memory)
{
    return memory.fd;
}

std::size_t canvasBufferBytes(const CanvasMemory &memory)
{
    return memory.bytes;
}

uchar *canvasFirstBuffer(const CanvasMemory &memory)
{
    return memory.bits(0);
}

void makeFirstBufferAhead(CanvasMemory &memory)
{
    // The first frame's memory; the second buffer's once the first frame is out.
    if (!memory.pages[0].joinable())
        startPages(memory.pages[0], memory.bits(0), memory.bytes);
}

std::unique_ptr<Canvas> makeSurfaceCanvas(QWindow *window, std::shared_ptr<CanvasMemory> memory)
{
    const QtWayland *qt = qtWayland();
    if (!qt || !window || !memory)
        return nullptr;
    const QSize pixels = memory->pixels;
    const qreal ratio = window->devicePixelRatio();
    if (ratio != std::round(ratio) || QSize(qRound(window->width() * ratio), qRound(window->height() * ratio)) != pixels)
        return nullptr;
    auto canvas = std::make_unique<WaylandSurfaceCanvas>(*qt, window, std::move(memory), ratio);
    if (!canvas->made()) {
        qCDebug(lcCapture, "selector: no buffer of its own to be had, painting through Qt");
        return nullptr;
    }
    qCDebug(lcCapture, "selector: painting on buffers of its own, %dx%d", pixels.width(), pixels.height());
    return canvas;
}

} // namespace lumaro::capture
