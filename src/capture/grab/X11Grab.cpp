#include "X11Grab.h"

#include "Dim.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

#include <xcb/randr.h>
#include <xcb/render.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>
#include <xcb/xinput.h>

#include <sys/ipc.h>
#include <sys/shm.h>

#include <cstdlib>
#include <memory>

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

} // namespace

X11Grab::X11Grab() = default;

X11Grab::~X11Grab()
{
    if (!m_conn)
        return;
    for (const Mapping &m : m_mapping) {
        if (m.frozen)
            xcb_free_pixmap(m_conn, m.frozen);
        if (m.dimmed)
            xcb_free_pixmap(m_conn, m.dimmed);
    }
    if (m_gc)
        xcb_free_gc(m_conn, m_gc);
    xcb_flush(m_conn);
}

QImage X11Grab::grabShared(quint32 drawable, const QRect &r)
{
    const qsizetype bytes = qsizetype(r.width()) * r.height() * 4;
    const int id = shmget(IPC_PRIVATE, size_t(bytes), IPC_CREAT | 0600);
    if (id < 0)
        return {};
    void *address = shmat(id, nullptr, 0);
    if (address == reinterpret_cast<void *>(-1)) {
        shmctl(id, IPC_RMID, nullptr);
        return {};
    }
    const xcb_shm_seg_t segment = xcb_generate_id(m_conn);
    std::free(xcb_request_check(m_conn, xcb_shm_attach_checked(m_conn, segment, uint32_t(id), 0)));
    // Gone as soon as both sides have let go of it, whatever happens next.
    shmctl(id, IPC_RMID, nullptr);
    xcb_generic_error_t *error = nullptr;
    auto image = reply(xcb_shm_get_image_reply(
        m_conn,
        xcb_shm_get_image(m_conn, drawable, int16_t(r.x()), int16_t(r.y()), uint16_t(r.width()), uint16_t(r.height()),
                          ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP, segment, 0),
        &error));
    xcb_shm_detach(m_conn, segment);
    std::free(error);
    if (!image || image->depth != 24) {
        shmdt(address);
        return {};
    }
    // The grab is kept as grabbed, in the shared segment itself.
    return QImage(static_cast<uchar *>(address), r.width(), r.height(), r.width() * 4, QImage::Format_RGB32,
                  detachAndFree, address);
}

QImage X11Grab::grabPlain(quint32 drawable, const QRect &r)
{
    auto image = reply(xcb_get_image_reply(m_conn,
                                           xcb_get_image(m_conn, XCB_IMAGE_FORMAT_Z_PIXMAP, drawable, int16_t(r.x()),
                                                         int16_t(r.y()), uint16_t(r.width()), uint16_t(r.height()), ~0u),
                                           nullptr));
    if (!image || image->depth != 24
        || xcb_get_image_data_length(image.get()) < r.width() * r.height() * 4)
        return {};
    return QImage(xcb_get_image_data(image.get()), r.width(), r.height(), r.width() * 4, QImage::Format_RGB32).copy();
}

bool X11Grab::canFreezeOnServer()
{
    // Needs shared memory (for fetch), RENDER (for the darker copy) and a
    // 24-bit root, whose pixmaps the selector's windows can take as background.
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(m_conn)).data;
    if (!m_shm || screen->root_depth != 24)
        return false;
    auto formats = reply(xcb_render_query_pict_formats_reply(m_conn, xcb_render_query_pict_formats(m_conn), nullptr));
    if (!formats)
        return false;
    for (auto it = xcb_render_query_pict_formats_formats_iterator(formats.get()); it.rem;
         xcb_render_pictforminfo_next(&it)) {
        const xcb_render_pictforminfo_t &f = *it.data;
        if (f.type == XCB_RENDER_PICT_TYPE_DIRECT && f.depth == 24 && f.direct.red_mask == 0xff
            && f.direct.green_mask == 0xff && f.direct.blue_mask == 0xff && f.direct.alpha_mask == 0) {
            m_format = f.id;
            return true;
        }
    }
    return false;
}

void X11Grab::freezeOnServer(const QRect &n)
{
    // Everything here is only asked for: the X server does it in order,
    // while the program goes on to make the selector's windows.
    if (!m_gc) {
        m_gc = xcb_generate_id(m_conn);
        const uint32_t values[] = { XCB_SUBWINDOW_MODE_INCLUDE_INFERIORS, 0 };
        xcb_create_gc(m_conn, m_gc, m_root, XCB_GC_SUBWINDOW_MODE | XCB_GC_GRAPHICS_EXPOSURES, values);
    }
    Mapping &m = m_mapping.back();
    m.frozen = xcb_generate_id(m_conn);
    m.dimmed = xcb_generate_id(m_conn);
    const auto w = uint16_t(n.width()), h = uint16_t(n.height());
    xcb_create_pixmap(m_conn, 24, m.frozen, m_root, w, h);
    xcb_copy_area(m_conn, m_root, m.frozen, m_gc, int16_t(n.x()), int16_t(n.y()), 0, 0, w, h);
    xcb_create_pixmap(m_conn, 24, m.dimmed, m_root, w, h);
    xcb_copy_area(m_conn, m.frozen, m.dimmed, m_gc, 0, 0, 0, 0, w, h);
    // The same darkening the selector paints (DimAlpha).
    const xcb_render_picture_t picture = xcb_generate_id(m_conn);
    xcb_render_create_picture(m_conn, picture, m.dimmed, m_format, 0, nullptr);
    const xcb_render_color_t dim{ 0, 0, 0, uint16_t(DimAlpha * 257) };
    const xcb_rectangle_t all{ 0, 0, w, h };
    xcb_render_fill_rectangles(m_conn, XCB_RENDER_PICT_OP_OVER, picture, dim, 1, &all);
    xcb_render_free_picture(m_conn, picture);
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
    m_root = xcb_setup_roots_iterator(setup).data->root;
    // Pixels come as 32-bit little-endian words; anything else goes through
    // Qt's slower reading of the screen.
    const bool direct = setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST;
    m_shm = direct && reply(xcb_shm_query_version_reply(m_conn, xcb_shm_query_version(m_conn), nullptr));
    const bool onServer = canFreezeOnServer();
    const auto named = monitors(m_conn, m_root);

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
        m_mapping.push_back({ native, logical, screen->devicePixelRatio() });
        m_trail.addScreen(native, logical, screen->devicePixelRatio());
        if (onServer) {
            freezeOnServer(native);
            result.screens.push_back({ screen, logical, QImage(), native.size(), native, screen->devicePixelRatio() });
            continue;
        }
        QImage image;
        if (m_shm)
            image = grabShared(m_root, native);
        if (image.isNull() && direct)
            image = grabPlain(m_root, native);
        if (image.isNull())
            image = screen->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
        if (image.isNull() || image.size() != native.size()) {
            result.screens.clear();
            result.error = u"无法读取屏幕“%1”的内容。"_s.arg(screen->name());
            return result;
        }
        image.setDevicePixelRatio(1.0);
        result.screens.push_back({ screen, logical, std::move(image), native.size(), native, screen->devicePixelRatio() });
    }
    xcb_flush(m_conn);
    return result;
}

void X11Grab::prepareOverlay(QWindow *window, int screen)
{
    if (!m_conn || screen < 0 || std::size_t(screen) >= m_mapping.size() || !m_mapping[std::size_t(screen)].dimmed)
        return;
    const uint32_t background = m_mapping[std::size_t(screen)].dimmed;
    xcb_change_window_attributes(m_conn, xcb_window_t(window->winId()), XCB_CW_BACK_PIXMAP, &background);
    xcb_flush(m_conn);
}

QImage X11Grab::fetch(int screen, QString *error)
{
    *error = QString();
    const Mapping &m = m_mapping.at(std::size_t(screen));
    if (!m.frozen)
        return {};
    const QRect r(QPoint(0, 0), m.native.size());
    QImage image = grabShared(m.frozen, r);
    if (image.isNull())
        image = grabPlain(m.frozen, r);
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
        if (!a || !g || a->map_state != XCB_MAP_STATE_VIEWABLE || a->_class != XCB_WINDOW_CLASS_INPUT_OUTPUT
            || skip.contains(WId(children[i])))
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
