#include "X11Grab.h"

#include "Log.h"
#include "Pages.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

#include <xcb/randr.h>
#include <xcb/render.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>
#include <xcb/xinput.h>

#include <sys/ipc.h>
#include <sys/mman.h>
#include <sys/shm.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <thread>
#include <memory>
#include <utility>

using namespace Qt::StringLiterals;

namespace lumaro::capture {

namespace {

template <typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

template <typename T>
Reply<T> reply(T *r)
{
    return Reply<T>(r, &std::free);
}

xcb_connection_t *qtConnection()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

// The rectangles of the monitors in the root window's own pixels, by name.
std::vector<std::pair<QString, QRect>> monitors(xcb_connection_t *c, xcb_window_t root)
{
    std::vector<std::pair<QString, QRect>> found;
    auto r = reply(xcb_randr_get_monitors_reply(c, xcb_randr_get_monitors(c, root, 1), nullptr));
    if (!r)
        return found;
    for (auto it = xcb_randr_get_monitors_monitors_iterator(r.get()); it.rem; xcb_randr_monitor_info_next(&it)) {
        auto name = reply(xcb_get_atom_name_reply(c, xcb_get_atom_name(c, it.data->name), nullptr));
        const QString n = name ? QString::fromLatin1(xcb_get_atom_name_name(name.get()),
                                                     xcb_get_atom_name_name_length(name.get()))
                               : QString();
        found.push_back({ n, QRect(it.data->x, it.data->y, it.data->width, it.data->height) });
    }
    return found;
}

void detachAndFree(void *address) { shmdt(address); }

// Puts these pixels of the shared memory `segment` (a picture of `all`) on
// `window`, each at its own place; the number of the last request, 0 for none.
unsigned int putShared(xcb_connection_t *c, xcb_window_t window, xcb_gcontext_t gc, xcb_shm_seg_t segment, QRect all,
                       const QRegion &pixels)
{
    unsigned int last = 0;
    for (QRect r : pixels)
        if (r &= all; !r.isEmpty())
            last = xcb_shm_put_image(c, window, gc, uint16_t(all.width()), uint16_t(all.height()), int16_t(r.x()),
                                     int16_t(r.y()), uint16_t(r.width()), uint16_t(r.height()), int16_t(r.x()),
                                     int16_t(r.y()), 24, XCB_IMAGE_FORMAT_Z_PIXMAP, 0, segment, 0)
                       .sequence;
    return last;
}

// A selector window painted in the shared memory the screen was read into.
class SharedCanvas final : public Canvas
{
public:
    SharedCanvas(xcb_connection_t *c, xcb_window_t window, xcb_shm_seg_t segment, QImage image)
        : m_conn(c)
        , m_window(window)
        , m_segment(segment)
        , m_gc(xcb_generate_id(c))
        , m_image(std::move(image))
    {
        const uint32_t noExposures = 0;
        xcb_create_gc(m_conn, m_gc, m_window, XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
    }
    ~SharedCanvas() override
    {
        xcb_free_gc(m_conn, m_gc);
        xcb_flush(m_conn);
    }
    QImage &image() override
    {
        // The server reads a put when it gets to it: not painted over before.
        if (m_putPending) {
            std::free(xcb_get_input_focus_reply(m_conn, xcb_get_input_focus(m_conn), nullptr));
            m_putPending = false;
        }
        return m_image;
    }
    void put(const QRegion &pixels) override
    {
        if (putShared(m_conn, m_window, m_gc, m_segment, m_image.rect(), pixels))
            m_putPending = true;
        xcb_flush(m_conn);
    }

private:
    xcb_connection_t *m_conn;
    xcb_window_t m_window;
    xcb_shm_seg_t m_segment;
    xcb_gcontext_t m_gc;
    QImage m_image;
    bool m_putPending = false;
};

} // namespace

// What a ServerCanvas has put on its window, and whether the server has
// since lost any of it (an expose that came after the last put).
struct X11Grab::PutWatch
{
    xcb_window_t window = 0;
    unsigned int lastPut = 0; // the last put's request number
    bool put = false, lost = false;
};

namespace {

// A selector window over a frozen screen that the X server shows itself:
// put from the shared memory it read the screen into, darkened by the
// render extension, with the program's pieces put over it. The shared
// memory stays as it was read and is the picture itself: no copy of the
// screen is made, and no fresh memory the size of it touched.
class ServerCanvas final : public Canvas
{
public:
    // `frozen` is the shared memory as the picture holds it, kept here while
    // the canvas lives.
    ServerCanvas(xcb_connection_t *c, xcb_window_t window, xcb_shm_seg_t segment, const QImage &frozen, qreal ratio,
                 xcb_render_pictformat_t format)
        : m_conn(c)
        , m_window(window)
        , m_segment(segment)
        , m_gc(xcb_generate_id(c))
        , m_picture(xcb_generate_id(c))
        , m_watch(std::make_shared<X11Grab::PutWatch>())
        , m_keep(frozen)
        // Over the same pixels, with the screen's ratio: setting it on a
        // shared copy would copy the pixels.
        , m_frozen(const_cast<uchar *>(frozen.constBits()), frozen.width(), frozen.height(), frozen.bytesPerLine(),
                   frozen.format())
    {
        m_frozen.setDevicePixelRatio(ratio);
        m_watch->window = window;
        const uint32_t noExposures = 0;
        xcb_create_gc(m_conn, m_gc, m_window, XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
        xcb_render_create_picture(m_conn, m_picture, m_window, format, 0, nullptr);
        // Most a plain request can carry, in bytes, less its header.
        m_largest = std::size_t(xcb_get_maximum_request_length(m_conn)) * 4 - 64;
    }
    ~ServerCanvas() override
    {
        xcb_render_free_picture(m_conn, m_picture);
        xcb_free_gc(m_conn, m_gc);
        xcb_flush(m_conn);
    }
    QImage &image() override { return m_frozen; }
    std::weak_ptr<X11Grab::PutWatch> watch() const { return m_watch; }
    bool stillShown() const override { return m_watch->put && !m_watch->lost; }
    void put(const QRegion &pixels) override { putFrozen(pixels, {}, 0); }
    bool showsFrozen() const override { return true; }
    void putFrozen(const QRegion &pixels, const QRegion &dark, int alpha) override
    {
        const QRect all = m_frozen.rect();
        if (const unsigned int last = putShared(m_conn, m_window, m_gc, m_segment, all, pixels))
            putDone(last);
        std::vector<xcb_rectangle_t> rects;
        for (QRect r : dark)
            if (r &= all; !r.isEmpty())
                rects.push_back({ int16_t(r.x()), int16_t(r.y()), uint16_t(r.width()), uint16_t(r.height()) });
        if (!rects.empty() && alpha > 0) {
            // Colours are premultiplied, 16 bits a channel: black at alpha/255.
            const xcb_render_color_t black{ 0, 0, 0, uint16_t(alpha * 257) };
            putDone(xcb_render_fill_rectangles(m_conn, XCB_RENDER_PICT_OP_OVER, m_picture, black,
                                               uint32_t(rects.size()), rects.data())
                        .sequence);
        }
        xcb_flush(m_conn);
    }
    void putPiece(const QImage &piece, QPoint at) override
    {
        if (piece.isNull() || piece.depth() != 32)
            return;
        // The server takes the lines one after the other, with nothing between.
        const std::size_t line = std::size_t(piece.width()) * 4;
        const bool packed = std::size_t(piece.bytesPerLine()) == line;
        const int rows = int(std::clamp<std::size_t>(m_largest / line, 1, std::size_t(piece.height())));
        for (int top = 0; top < piece.height(); top += rows) {
            const int n = std::min(rows, piece.height() - top);
            const uchar *data = piece.constScanLine(top);
            if (!packed) {
                m_lines.resize(line * std::size_t(n));
                for (int y = 0; y < n; ++y)
                    std::memcpy(m_lines.data() + std::size_t(y) * line, piece.constScanLine(top + y), line);
                data = m_lines.data();
            }
            putDone(xcb_put_image(m_conn, XCB_IMAGE_FORMAT_Z_PIXMAP, m_window, m_gc, uint16_t(piece.width()),
                                  uint16_t(n), int16_t(at.x()), int16_t(at.y() + top), 0, 24,
                                  uint32_t(line * std::size_t(n)), data)
                        .sequence);
        }
        xcb_flush(m_conn);
    }

private:
    void putDone(unsigned int request)
    {
        m_watch->lastPut = request;
        m_watch->put = true;
        m_watch->lost = false;
    }

    xcb_connection_t *m_conn;
    xcb_window_t m_window;
    xcb_shm_seg_t m_segment;
    xcb_gcontext_t m_gc;
    xcb_render_picture_t m_picture;
    std::shared_ptr<X11Grab::PutWatch> m_watch;
    QImage m_keep, m_frozen;
    std::size_t m_largest = 0;
    std::vector<uchar> m_lines; // a piece's lines, packed for the server
};

} // namespace

struct X11Grab::BandCopy
{
    std::thread thread;
    QImage picture;
    bool done = false, ok = false;

    // Takes the server's answer to each band in turn and copies the band out
    // of the shared memory at `shared`. Every answer is taken or dropped,
    // whatever fails.
    void run(xcb_connection_t *c, const std::vector<Band> &bands, const uchar *shared, QSize size)
    {
        picture = imageOnLargePages(size, QImage::Format_RGB32);
        ok = !picture.isNull() && picture.bytesPerLine() == qsizetype(size.width()) * 4;
        const std::size_t line = std::size_t(size.width()) * 4;
        for (const Band &b : bands) {
            if (!ok) {
                xcb_discard_reply(c, b.sequence);
                continue;
            }
            xcb_generic_error_t *error = nullptr;
            auto image = reply(xcb_shm_get_image_reply(c, xcb_shm_get_image_cookie_t{ b.sequence }, &error));
            std::free(error);
            if (!image || image->depth != 24) {
                ok = false;
                continue;
            }
            const std::size_t from = std::size_t(b.top) * line, bytes = std::size_t(b.rows) * line;
            // This side's page table for the band in one call, not a fault
            // at a time as the copy first reads it.
            makePagesReady(const_cast<uchar *>(shared) + from, bytes);
            std::memcpy(picture.bits() + from, shared + from, bytes);
        }
        if (!ok)
            picture = QImage();
        done = true;
    }
};

X11Grab::X11Grab() = default;

X11Grab::~X11Grab()
{
    if (!m_conn)
        return;
    // Pictures asked for and never taken: the answers are dropped as they come.
    for (Mapping &m : m_mapping)
        if (m.onServer) {
            if (m.asked && !m.taken)
                for (const Band &b : m.bands)
                    xcb_discard_reply(m_conn, b.sequence);
            // This side's mapping goes with the picture's last copy.
            xcb_shm_detach(m_conn, m.segment);
        } else if (m.address) {
            if (m.copy && m.copy->thread.joinable())
                m.copy->thread.join(); // it takes every answer itself
            else if (m.asked && !m.taken)
                for (const Band &b : m.bands)
                    xcb_discard_reply(m_conn, b.sequence);
            xcb_shm_detach(m_conn, m.segment);
            shmdt(m.address);
        }
    xcb_flush(m_conn);
}

bool X11Grab::askShared(Mapping &m)
{
    const QRect &r = m.native;
    const int id = shmget(IPC_PRIVATE, size_t(r.width()) * size_t(r.height()) * 4, IPC_CREAT | 0600);
    if (id < 0)
        return false;
    void *address = shmat(id, nullptr, 0);
    if (address == reinterpret_cast<void *>(-1)) {
        shmctl(id, IPC_RMID, nullptr);
        return false;
    }
    const xcb_shm_seg_t segment = xcb_generate_id(m_conn);
    xcb_generic_error_t *error = xcb_request_check(m_conn, xcb_shm_attach_checked(m_conn, segment, uint32_t(id), 0));
    // Gone as soon as both sides have let go of it, whatever happens next.
    shmctl(id, IPC_RMID, nullptr);
    if (error) {
        std::free(error);
        shmdt(address);
        return false;
    }
    m.address = address;
    m.segment = segment;
    return true;
}

QImage X11Grab::takeShared(Mapping &m)
{
    m.taken = true;
    const QSize size = m.native.size();
    if (m.onServer) {
        xcb_generic_error_t *error = nullptr;
        auto image = reply(xcb_shm_get_image_reply(m_conn, xcb_shm_get_image_cookie_t{ m.bands.front().sequence }, &error));
        std::free(error);
        if (!image || image->depth != 24)
            return {};
        // The selector reads parts of it as it paints, a row at a time:
        // this side's page table for the whole in one call (about a
        // millisecond for 1920 by 1080) saves a fault on every page it
        // reads, which cost more than that for its first frame alone.
        makePagesReadable(m.frozen.constBits(), std::size_t(m.frozen.sizeInBytes()));
        return std::exchange(m.frozen, {});
    }
    if (m.canvas) {
        // The shared memory stays on as the canvas; the picture is the copy
        // made band by band.
        if (!m.copy)
            return {};
        if (m.copy->thread.joinable())
            m.copy->thread.join();
        else if (!m.copy->done) // no thread to be had: the bands are copied here
            m.copy->run(m_conn, m.bands, static_cast<const uchar *>(m.address), size);
        return std::exchange(m.copy->picture, {});
    }
    // This side's page table for the shared memory in one call, rather than
    // a fault at a time as it is first read.
    makePagesReady(m.address, std::size_t(size.width()) * std::size_t(size.height()) * 4);
    xcb_generic_error_t *error = nullptr;
    auto image = reply(xcb_shm_get_image_reply(m_conn, xcb_shm_get_image_cookie_t{ m.bands.front().sequence }, &error));
    std::free(error);
    const bool read = image && image->depth == 24;
    xcb_shm_detach(m_conn, m.segment);
    xcb_flush(m_conn);
    void *address = std::exchange(m.address, nullptr);
    if (!read) {
        shmdt(address);
        return {};
    }
    // The picture stays where the server put it, in the shared memory itself.
    return QImage(static_cast<uchar *>(address), size.width(), size.height(), size.width() * 4, QImage::Format_RGB32,
                  detachAndFree, address);
}

QImage X11Grab::grabPlain(const QRect &r)
{
    auto image = reply(xcb_get_image_reply(m_conn,
                                           xcb_get_image(m_conn, XCB_IMAGE_FORMAT_Z_PIXMAP, m_root, int16_t(r.x()),
                                                         int16_t(r.y()), uint16_t(r.width()), uint16_t(r.height()), ~0u),
                                           nullptr));
    if (!image || image->depth != 24
        || xcb_get_image_data_length(image.get()) < r.width() * r.height() * 4)
        return {};
    return QImage(xcb_get_image_data(image.get()), r.width(), r.height(), r.width() * 4, QImage::Format_RGB32).copy();
}

GrabResult X11Grab::grab(const QList<QScreen *> &screens)
{
    GrabResult result;
    m_conn = qtConnection();
    if (!m_conn || xcb_connection_has_error(m_conn)) {
        result.error = u"无法连接到 X 服务器。"_s;
        return result;
    }
    const xcb_setup_t *setup = xcb_get_setup(m_conn);
    const xcb_screen_t *rootScreen = xcb_setup_roots_iterator(setup).data;
    m_root = rootScreen->root;
    // Pixels come as 32-bit little-endian words; anything else goes through
    // Qt's slower reading of the screen.
    const bool direct = setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST && rootScreen->root_depth == 24;
    // A request of an extension the server lacks would close the connection.
    const xcb_query_extension_reply_t *shm = xcb_get_extension_data(m_conn, &xcb_shm_id);
    m_shm = direct && shm && shm->present
            && reply(xcb_shm_query_version_reply(m_conn, xcb_shm_query_version(m_conn), nullptr));
    m_rootVisual = rootScreen->root_visual;
    m_rootFormat = 0;
    const xcb_query_extension_reply_t *render = xcb_get_extension_data(m_conn, &xcb_render_id);
    const bool withRender = m_shm && render && render->present;
    const auto formatsAsked = withRender ? xcb_render_query_pict_formats(m_conn) : xcb_render_query_pict_formats_cookie_t{};
    const auto named = monitors(m_conn, m_root);
    if (withRender)
        if (auto formats = reply(xcb_render_query_pict_formats_reply(m_conn, formatsAsked, nullptr)))
            for (auto s = xcb_render_query_pict_formats_screens_iterator(formats.get()); s.rem && !m_rootFormat;
                 xcb_render_pictscreen_next(&s))
                for (auto d = xcb_render_pictscreen_depths_iterator(s.data); d.rem && !m_rootFormat;
                     xcb_render_pictdepth_next(&d))
                    for (auto v = xcb_render_pictdepth_visuals_iterator(d.data); v.rem; xcb_render_pictvisual_next(&v))
                        if (v.data->visual == m_rootVisual) {
                            m_rootFormat = v.data->format;
                            break;
                        }

    if (const xcb_query_extension_reply_t *xi = xcb_get_extension_data(m_conn, &xcb_input_id); xi && xi->present)
        m_xinput = xi->major_opcode;
    qGuiApp->installNativeEventFilter(this);

    m_mapping.clear();
    m_trail.clearScreens();
    for (QScreen *screen : screens) {
        const QRect logical = screen->geometry();
        // Each screen in its own device pixels, where the X server puts it.
        QRect native(logical.topLeft(), logical.size() * screen->devicePixelRatio());
        for (const auto &[name, rect] : named)
            if (name == screen->name())
                native = rect;
        Mapping &m = m_mapping.emplace_back();
        m.native = native;
        m.logical = logical;
        m.ratio = screen->devicePixelRatio();
        m_trail.addScreen(native, logical, screen->devicePixelRatio());
    }

    QList<QWindow *> own;
    for (QWindow *w : QGuiApplication::topLevelWindows())
        if (w->isVisible())
            own << w;
    m_windows = listWindows(own);

    // Shared memory for every screen now; the pictures are asked for in
    // readScreens() and taken in fetch().
    for (Mapping &m : m_mapping)
        if (m_shm)
            askShared(m);

    for (std::size_t i = 0; i < m_mapping.size(); ++i) {
        QScreen *screen = screens[qsizetype(i)];
        const Mapping &m = m_mapping[i];
        QImage image;
        if (!m.address) {
            if (direct)
                image = grabPlain(m.native);
            if (image.isNull())
                image = screen->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
            if (image.isNull() || image.size() != m.native.size()) {
                result.screens.clear();
                result.error = u"无法读取屏幕“%1”的内容。"_s.arg(screen->name());
                return result;
            }
            image.setDevicePixelRatio(1.0);
        }
        result.screens.push_back({ screen, m.logical, std::move(image), m.native.size(), m.native, m.ratio });
    }
    return result;
}

void X11Grab::readScreens()
{
    bool banded = false;
    for (const Mapping &m : m_mapping)
        banded = banded || (m.address && !m.asked && m.canvas && !m.onServer);
    // Nobody else draws between the bands: the pictures are of one moment,
    // as a single request's would be.
    if (banded)
        xcb_grab_server(m_conn);
    for (Mapping &m : m_mapping) {
        if (!m.address || m.asked)
            continue;
        const QRect &r = m.native;
        // For a canvas, bands of about 1 MiB: the last one, copied after the
        // server is done, is a small part of the whole. Otherwise one band.
        const std::size_t line = std::size_t(r.width()) * 4;
        const int count = m.canvas && !m.onServer ? int(std::clamp<std::size_t>(line * std::size_t(r.height()) >> 20, 1, 16)) : 1;
        const int rows = (r.height() + count - 1) / count;
        for (int top = 0; top < r.height(); top += rows) {
            const int n = std::min(rows, r.height() - top);
            const auto cookie = xcb_shm_get_image(m_conn, m_root, int16_t(r.x()), int16_t(r.y() + top),
                                                  uint16_t(r.width()), uint16_t(n), ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP,
                                                  m.segment, uint32_t(top * line));
            m.bands.push_back({ cookie.sequence, top, n });
        }
        m.asked = true;
    }
    if (banded)
        xcb_ungrab_server(m_conn);
    xcb_flush(m_conn);
    for (Mapping &m : m_mapping)
        if (m.canvas && !m.onServer && m.asked && !m.copy) {
            m.copy = std::make_unique<BandCopy>();
            try {
                m.copy->thread = std::thread(&BandCopy::run, m.copy.get(), m_conn, m.bands,
                                             static_cast<const uchar *>(m.address), m.native.size());
            } catch (const std::system_error &) {
                // Copied when the picture is taken.
            }
        }
}

std::unique_ptr<Canvas> X11Grab::canvas(QWindow *window, int screen)
{
    if (!window || screen < 0 || std::size_t(screen) >= m_mapping.size())
        return nullptr;
    Mapping &m = m_mapping[std::size_t(screen)];
    if (!m.address || m.asked)
        return nullptr; // no shared memory, or asked for already without a copy to be made
    const QSize size = m.native.size();
    const auto id = xcb_window_t(window->winId());
    if (m_rootFormat) {
        // The window must have the root's visual for the root's format.
        auto a = reply(xcb_get_window_attributes_reply(m_conn, xcb_get_window_attributes(m_conn, id), nullptr));
        if (a && a->visual == m_rootVisual) {
            m.canvas = m.onServer = true;
            qCDebug(lcCapture, "selector: screen %d shown by the X server", screen);
            // This side's mapping is the picture's from now on, whatever
            // becomes of the canvas or the reading.
            m.frozen = QImage(static_cast<uchar *>(m.address), size.width(), size.height(), size.width() * 4,
                              QImage::Format_RGB32, detachAndFree, m.address);
            auto canvas = std::make_unique<ServerCanvas>(m_conn, id, m.segment, m.frozen, m.ratio, m_rootFormat);
            m_shown.push_back(canvas->watch());
            return canvas;
        }
    }
    m.canvas = true;
    QImage image(static_cast<uchar *>(m.address), size.width(), size.height(), size.width() * 4,
                 QImage::Format_RGB32);
    image.setDevicePixelRatio(m.ratio);
    return std::make_unique<SharedCanvas>(m_conn, id, m.segment, std::move(image));
}

QImage X11Grab::fetch(int screen, QString *error)
{
    *error = QString();
    Mapping &m = m_mapping.at(std::size_t(screen));
    if (!m.address)
        return {};
    readScreens(); // in case nobody did
    QImage image = takeShared(m);
    if (image.isNull())
        *error = u"无法读取屏幕的内容。"_s;
    return image;
}

bool X11Grab::nativeEventFilter(const QByteArray &type, void *message, qintptr *result)
{
    Q_UNUSED(result);
    if (type != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    switch (event->response_type & 0x7f) {
    case XCB_EXPOSE: {
        // Lost after the last put where the server made the event after it
        // read that put (events carry the low 16 bits of the number of the
        // last request read).
        const auto *e = reinterpret_cast<const xcb_expose_event_t *>(event);
        for (const auto &w : m_shown)
            if (const auto watch = w.lock(); watch && watch->window == e->window && watch->put
                && int16_t(uint16_t(e->sequence - uint16_t(watch->lastPut))) >= 0)
                watch->lost = true;
        break;
    }
    case XCB_BUTTON_PRESS:
    case XCB_BUTTON_RELEASE:
    case XCB_MOTION_NOTIFY: {
        // The core events: press, release and motion share this layout.
        const auto *e = reinterpret_cast<const xcb_button_press_event_t *>(event);
        m_trail.record(QPoint(e->root_x, e->root_y));
        break;
    }
    case XCB_GE_GENERIC: {
        const auto *ge = reinterpret_cast<const xcb_ge_generic_event_t *>(event);
        if (!m_xinput || ge->extension != m_xinput)
            break;
        if (ge->event_type != XCB_INPUT_BUTTON_PRESS && ge->event_type != XCB_INPUT_BUTTON_RELEASE
            && ge->event_type != XCB_INPUT_MOTION)
            break;
        // The same layout for all three; places in 16.16 fixed point.
        const auto *e = reinterpret_cast<const xcb_input_button_press_event_t *>(event);
        m_trail.record(QPoint(e->root_x >> 16, e->root_y >> 16));
        break;
    }
    default:
        break;
    }
    return false;
}

std::optional<QPoint> X11Grab::pointerPixel(QPointF at)
{
    return m_trail.take(at);
}

bool X11Grab::movePointer(QPoint pixel)
{
    if (!m_conn)
        return false;
    xcb_warp_pointer(m_conn, XCB_NONE, m_root, 0, 0, 0, 0, int16_t(pixel.x()), int16_t(pixel.y()));
    xcb_flush(m_conn);
    return true;
}

QRectF X11Grab::toLogical(const QRect &native) const
{
    for (const Mapping &m : m_mapping)
        if (m.native.contains(native.center())) {
            const qreal s = 1 / m.ratio;
            return { m.logical.x() + (native.x() - m.native.x()) * s, m.logical.y() + (native.y() - m.native.y()) * s,
                     native.width() * s, native.height() * s };
        }
    return QRectF(native);
}

std::vector<WindowOnScreen> X11Grab::windows(const QList<QWindow *> &own, const QList<WId> &skip)
{
    // The selector's windows were not yet on the screen when it was listed.
    Q_UNUSED(skip);
    std::vector<WindowOnScreen> found;
    for (WindowOnScreen w : m_windows) {
        if (w.own && !own.contains(w.own))
            w.own = nullptr;
        found.push_back(w);
    }
    return found;
}

std::vector<WindowOnScreen> X11Grab::listWindows(const QList<QWindow *> &own)
{
    std::vector<WindowOnScreen> found;
    if (!m_conn)
        return found;
    auto tree = reply(xcb_query_tree_reply(m_conn, xcb_query_tree(m_conn, m_root), nullptr));
    if (!tree)
        return found;
    const xcb_window_t *children = xcb_query_tree_children(tree.get());
    const int count = xcb_query_tree_children_length(tree.get());

    // The root's child that holds each of our windows: the window itself,
    // or the window manager's frame around it.
    std::vector<std::pair<xcb_window_t, QWindow *>> ownFrames;
    for (QWindow *w : own) {
        xcb_window_t id = xcb_window_t(w->winId());
        for (int depth = 0; depth < 8; ++depth) {
            auto up = reply(xcb_query_tree_reply(m_conn, xcb_query_tree(m_conn, id), nullptr));
            if (!up)
                break;
            if (up->parent == m_root || up->parent == XCB_WINDOW_NONE) {
                ownFrames.push_back({ id, w });
                break;
            }
            id = up->parent;
        }
    }

    // All the questions first, then the answers: one round trip, not two per window.
    std::vector<xcb_get_window_attributes_cookie_t> attributes(static_cast<std::size_t>(count));
    std::vector<xcb_get_geometry_cookie_t> geometry(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        attributes[std::size_t(i)] = xcb_get_window_attributes(m_conn, children[i]);
        geometry[std::size_t(i)] = xcb_get_geometry(m_conn, children[i]);
    }
    for (int i = count - 1; i >= 0; --i) { // topmost first
        auto a = reply(xcb_get_window_attributes_reply(m_conn, attributes[std::size_t(i)], nullptr));
        auto g = reply(xcb_get_geometry_reply(m_conn, geometry[std::size_t(i)], nullptr));
        if (!a || !g || a->map_state != XCB_MAP_STATE_VIEWABLE || a->_class != XCB_WINDOW_CLASS_INPUT_OUTPUT)
            continue;
        const QRect native(g->x, g->y, g->width + 2 * g->border_width, g->height + 2 * g->border_width);
        QWindow *mine = nullptr;
        for (const auto &[frame, w] : ownFrames)
            if (frame == children[i])
                mine = w;
        QPointF offset;
        if (mine) {
            // Qt keeps its window's place in whole logical pixels: at 150 %
            // that is up to a third of one off where the X server has it.
            const xcb_window_t id = xcb_window_t(mine->winId());
            auto at = reply(xcb_translate_coordinates_reply(m_conn, xcb_translate_coordinates(m_conn, id, m_root, 0, 0),
                                                            nullptr));
            if (at)
                offset = m_trail.toLogical(QPointF(at->dst_x, at->dst_y)) - QPointF(mine->mapToGlobal(QPoint(0, 0)));
        }
        found.push_back({ toLogical(native), mine, offset });
    }
    return found;
}

} // namespace lumaro::capture
