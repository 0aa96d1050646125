#include "X11Grab.h"

#include <QGuiApplication>
#include <QScreen>

#include <xcb/randr.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>

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

QImage X11Grab::grabShared(const QRect &r)
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
        xcb_shm_get_image(m_conn, m_root, int16_t(r.x()), int16_t(r.y()), uint16_t(r.width()), uint16_t(r.height()),
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
    m_root = xcb_setup_roots_iterator(setup).data->root;
    // Pixels come as 32-bit little-endian words; anything else goes through
    // Qt's slower reading of the screen.
    const bool direct = setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST;
    const auto shm = reply(xcb_shm_query_version_reply(m_conn, xcb_shm_query_version(m_conn), nullptr));
    const auto named = monitors(m_conn, m_root);

    m_mapping.clear();
    for (QScreen *screen : screens) {
        const QRect logical = screen->geometry();
        // Each screen in its own device pixels, where the X server puts it.
        QRect native(logical.topLeft(), logical.size() * screen->devicePixelRatio());
        for (const auto &[name, rect] : named)
            if (name == screen->name())
                native = rect;
        QImage image;
        if (direct && shm)
            image = grabShared(native);
        if (image.isNull() && direct)
            image = grabPlain(native);
        if (image.isNull())
            image = screen->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
        if (image.isNull() || image.size() != native.size()) {
            result.screens.clear();
            result.error = u"无法读取屏幕“%1”的内容。"_s.arg(screen->name());
            return result;
        }
        image.setDevicePixelRatio(1.0);
        result.screens.push_back({ screen, logical, std::move(image) });
        m_mapping.push_back({ native, logical });
    }
    return result;
}

QRectF X11Grab::toLogical(const QRect &native) const
{
    for (const Mapping &m : m_mapping)
        if (m.native.contains(native.center())) {
            const qreal s = m.native.width() > 0 ? qreal(m.logical.width()) / m.native.width() : 1.0;
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
        found.push_back({ toLogical(native), mine });
    }
    return found;
}

} // namespace lumaro::capture
