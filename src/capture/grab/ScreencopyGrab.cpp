#include "ScreencopyGrab.h"

#include "Pages.h"
#include "SurfaceCanvas.h"
#include "wlr-screencopy-unstable-v1-client-protocol.h"

#include <QGuiApplication>
#include <QScreen>

#include <wayland-client.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <system_error>
#include <thread>
#include <utility>

using namespace Qt::StringLiterals;

namespace lumaro::capture {

namespace {

struct Output
{
    wl_output *output = nullptr;
    QPoint position; // in the compositor's layout, logical
    QString name;    // from version 4 on
};

// One screen copy on its way: what the compositor offers, then the pixels.
struct Copy
{
    quint32 format = 0, width = 0, height = 0, stride = 0;
    bool offered = false; // a shared-memory buffer was described
    bool described = false; // every kind of buffer was described (version 3), or the one (before)
    bool upsideDown = false;
    bool ready = false, failed = false;
};

} // namespace

struct ScreencopyGrab::Wayland
{
    wl_display *display = nullptr;
    wl_registry *registry = nullptr;
    wl_shm *shm = nullptr;
    zwlr_screencopy_manager_v1 *manager = nullptr;
    quint32 managerVersion = 0;
    std::vector<std::unique_ptr<Output>> outputs;

    ~Wayland()
    {
        for (auto &o : outputs)
            if (o->output)
                wl_output_get_version(o->output) >= 3 ? wl_output_release(o->output) : wl_output_destroy(o->output);
        if (manager)
            zwlr_screencopy_manager_v1_destroy(manager);
        if (shm)
            wl_shm_destroy(shm);
        if (registry)
            wl_registry_destroy(registry);
        if (display)
            wl_display_disconnect(display);
    }
};

namespace {

const wl_output_listener OutputListener = {
    .geometry = [](void *data, wl_output *, int32_t x, int32_t y, int32_t, int32_t, int32_t, const char *, const char *,
                   int32_t) { static_cast<Output *>(data)->position = QPoint(x, y); },
    .mode = [](void *, wl_output *, uint32_t, int32_t, int32_t, int32_t) {},
    .done = [](void *, wl_output *) {},
    .scale = [](void *, wl_output *, int32_t) {},
    .name = [](void *data, wl_output *, const char *name) { static_cast<Output *>(data)->name = QString::fromUtf8(name); },
    .description = [](void *, wl_output *, const char *) {},
};

void global(void *data, wl_registry *registry, uint32_t id, const char *interface, uint32_t version)
{
    auto *wl = static_cast<ScreencopyGrab::Wayland *>(data);
    if (std::strcmp(interface, wl_shm_interface.name) == 0) {
        wl->shm = static_cast<wl_shm *>(wl_registry_bind(registry, id, &wl_shm_interface, 1));
    } else if (std::strcmp(interface, zwlr_screencopy_manager_v1_interface.name) == 0) {
        wl->managerVersion = std::min<uint32_t>(version, 3);
        wl->manager = static_cast<zwlr_screencopy_manager_v1 *>(
            wl_registry_bind(registry, id, &zwlr_screencopy_manager_v1_interface, wl->managerVersion));
    } else if (std::strcmp(interface, wl_output_interface.name) == 0) {
        auto o = std::make_unique<Output>();
        o->output = static_cast<wl_output *>(wl_registry_bind(registry, id, &wl_output_interface, std::min<uint32_t>(version, 4)));
        wl_output_add_listener(o->output, &OutputListener, o.get());
        wl->outputs.push_back(std::move(o));
    }
}

const wl_registry_listener RegistryListener = {
    .global = global,
    .global_remove = [](void *, wl_registry *, uint32_t) {},
};

const zwlr_screencopy_frame_v1_listener FrameListener = {
    .buffer =
        [](void *data, zwlr_screencopy_frame_v1 *, uint32_t format, uint32_t width, uint32_t height, uint32_t stride) {
            auto *c = static_cast<Copy *>(data);
            c->format = format;
            c->width = width;
            c->height = height;
            c->stride = stride;
            c->offered = true;
        },
    .flags = [](void *data, zwlr_screencopy_frame_v1 *, uint32_t flags) {
        constexpr uint32_t YInvert = 1;
        static_cast<Copy *>(data)->upsideDown = flags & YInvert;
    },
    .ready = [](void *data, zwlr_screencopy_frame_v1 *, uint32_t, uint32_t, uint32_t) { static_cast<Copy *>(data)->ready = true; },
    .failed = [](void *data, zwlr_screencopy_frame_v1 *) { static_cast<Copy *>(data)->failed = true; },
    .damage = [](void *, zwlr_screencopy_frame_v1 *, uint32_t, uint32_t, uint32_t, uint32_t) {},
    .linux_dmabuf = [](void *, zwlr_screencopy_frame_v1 *, uint32_t, uint32_t, uint32_t) {},
    .buffer_done = [](void *data, zwlr_screencopy_frame_v1 *) { static_cast<Copy *>(data)->described = true; },
};

// The shared-memory formats a screen comes in, as QImage formats (on a
// little-endian machine, as wl_shm's formats are).
QImage::Format imageFormat(quint32 format)
{
    switch (format) {
    case WL_SHM_FORMAT_ARGB8888:
    case WL_SHM_FORMAT_XRGB8888:
        return QImage::Format_RGB32;
    case WL_SHM_FORMAT_ABGR8888:
    case WL_SHM_FORMAT_XBGR8888:
        return QImage::Format_RGBX8888;
    default:
        return QImage::Format_Invalid;
    }
}

// Dispatches until `done` holds, or the connection breaks.
template<typename Done>
bool dispatchUntil(wl_display *display, Done done)
{
    while (!done())
        if (wl_display_dispatch(display) < 0)
            return false;
    return true;
}

// The compositor's copy made the pages, and the selector's first paint
// reads every one of them: mapped into this process on another thread while
// the selector's window is made, they do not hold that paint up.
void mapAhead(const QImage &picture)
{
    try {
        std::thread([picture] {
            const uchar *bits = picture.constBits();
            volatile uchar sink = 0;
            for (qsizetype at = 0; at < picture.sizeInBytes(); at += 4096)
                sink = sink + bits[at];
        }).detach();
    } catch (const std::system_error &) {
        // the paint maps them itself
    }
}

// The screen's picture out of the selector's first buffer, which the
// compositor copied it into and the first frame is painted over. Into
// `ahead` where that was made for it (on large pages, made while the
// compositor copies), else into a copy made here.
QImage copiedOut(uchar *pixels, const Copy &copy, QImage::Format format, QImage ahead)
{
    const QSize size(int(copy.width), int(copy.height));
    const std::size_t bytes = std::size_t(copy.stride) * copy.height;
    makePagesReady(pixels, bytes); // the compositor's pages, mapped here at once
    if (format == QImage::Format_RGB32 && !copy.upsideDown && ahead.size() == size && ahead.format() == format
        && ahead.bytesPerLine() == qsizetype(copy.stride)) {
        copyInHalves(ahead.bits(), pixels, bytes);
        return ahead;
    }
    const QImage shown(pixels, size.width(), size.height(), qsizetype(copy.stride), format);
    QImage picture = format == QImage::Format_RGB32 ? shown.copy() : shown.convertToFormat(QImage::Format_RGB32);
    if (copy.upsideDown)
        picture = std::move(picture).mirrored(false, true);
    return picture;
}

// The screen's picture; with the memory for the selector's canvas on that
// screen, made ready while the compositor copies, where the screen's pixels
// are those of the canvas (`canvasPixels`).
QImage copyOutput(ScreencopyGrab::Wayland &wl, wl_output *output, QString *error, QSize canvasPixels,
                  std::shared_ptr<CanvasMemory> *canvas)
{
    Copy copy;
    zwlr_screencopy_frame_v1 *frame = zwlr_screencopy_manager_v1_capture_output(wl.manager, 0, output);
    zwlr_screencopy_frame_v1_add_listener(frame, &FrameListener, &copy);
    // Before version 3 the one buffer event is the whole description.
    const bool described = dispatchUntil(wl.display, [&] {
        return copy.failed || (wl.managerVersion >= 3 ? copy.described : copy.offered);
    });
    QImage picture;
    const QImage::Format format = imageFormat(copy.format);
    if (!described || copy.failed || !copy.offered) {
        *error = u"合成器无法复制屏幕的内容。"_s;
    } else if (format == QImage::Format_Invalid) {
        *error = u"合成器给出的屏幕像素格式（0x%1）无法读取。"_s.arg(copy.format, 0, 16);
    } else {
        if (QSize(int(copy.width), int(copy.height)) == canvasPixels)
            *canvas = prepareCanvasMemory(canvasPixels);
        const std::size_t size = std::size_t(copy.stride) * copy.height;
        // Copied into the first buffer of the selector's canvas where it
        // fits, else into memory of its own.
        CanvasMemory *into = *canvas && size <= canvasBufferBytes(**canvas) ? canvas->get() : nullptr;
        if (*canvas && !into)
            makeFirstBufferAhead(**canvas);
        const int fd = into ? canvasFile(*into) : memfd_create("lumaro-screen", MFD_CLOEXEC);
        void *pixels = into ? canvasFirstBuffer(*into) : MAP_FAILED;
        // Not populated before the copy is asked for (4K: 91 against 105 ms
        // to the selector's first frame, see below), and read later, which
        // maps the pages sixteen at a time.
        if (!into && fd >= 0 && ftruncate(fd, off_t(size)) == 0)
            pixels = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (pixels == MAP_FAILED) {
            *error = u"没有足够的共享内存来复制屏幕。"_s;
        } else {
            wl_shm_pool *pool = wl_shm_create_pool(wl.shm, fd, int32_t(size));
            wl_buffer *buffer = wl_shm_pool_create_buffer(pool, 0, int32_t(copy.width), int32_t(copy.height),
                                                          int32_t(copy.stride), copy.format);
            zwlr_screencopy_frame_v1_copy(frame, buffer);
            // The compositor copies at its next frame: until then the memory
            // it copies into is made here, which leaves alone any page it
            // has written already (4K: 83 against 88 ms to the selector's
            // first frame). Where this fails, its copy makes the pages.
            wl_display_flush(wl.display);
            (void)fallocate(fd, 0, 0, off_t(size));
            // And the memory the picture is copied out to.
            QImage ahead;
            if (into && format == QImage::Format_RGB32)
                ahead = imageOnLargePages(QSize(int(copy.width), int(copy.height)), format);
            const bool copied = dispatchUntil(wl.display, [&] { return copy.ready || copy.failed; }) && !copy.failed;
            wl_buffer_destroy(buffer);
            wl_shm_pool_destroy(pool);
            if (!copied) {
                *error = u"合成器无法复制屏幕的内容。"_s;
                if (!into)
                    munmap(pixels, size);
            } else if (into) {
                picture = copiedOut(static_cast<uchar *>(pixels), copy, format, std::move(ahead));
            } else {
                // The compositor is done with the memory once it says so:
                // the picture keeps the mapping (no copy of a whole screen),
                // which goes with the picture's last copy.
                picture = imageOverMapping(pixels, size, QSize(int(copy.width), int(copy.height)),
                                           qsizetype(copy.stride), format);
                if (format != QImage::Format_RGB32)
                    picture = std::move(picture).convertToFormat(QImage::Format_RGB32);
                if (copy.upsideDown)
                    picture = std::move(picture).mirrored(false, true);
                if (picture.constBits() == pixels)
                    mapAhead(picture);
            }
        }
        if (!into && fd >= 0)
            close(fd);
    }
    zwlr_screencopy_frame_v1_destroy(frame);
    return picture;
}

} // namespace

ScreencopyGrab::ScreencopyGrab()
    : m_wl(std::make_unique<Wayland>())
{
    m_wl->display = wl_display_connect(nullptr);
    if (!m_wl->display)
        return;
    m_wl->registry = wl_display_get_registry(m_wl->display);
    wl_registry_add_listener(m_wl->registry, &RegistryListener, m_wl.get());
    // The globals, then what the outputs say of themselves.
    if (wl_display_roundtrip(m_wl->display) < 0 || wl_display_roundtrip(m_wl->display) < 0)
        m_wl->manager = nullptr;
}

ScreencopyGrab::~ScreencopyGrab() = default;

bool ScreencopyGrab::usable() const
{
    return m_wl->display && m_wl->manager && m_wl->shm && !m_wl->outputs.empty();
}

GrabResult ScreencopyGrab::grab(const QList<QScreen *> &screens)
{
    GrabResult result;
    m_canvases.clear();
    if (!usable()) {
        result.error = u"合成器不提供屏幕复制。"_s;
        return result;
    }
    for (QScreen *screen : screens) {
        // The output of the same name, or the one at the screen's place.
        const Output *match = nullptr;
        for (const auto &o : m_wl->outputs)
            if (!o->name.isEmpty() && o->name == screen->name())
                match = o.get();
        for (const auto &o : m_wl->outputs)
            if (!match && o->position == screen->geometry().topLeft())
                match = o.get();
        if (!match && screens.size() == 1 && m_wl->outputs.size() == 1)
            match = m_wl->outputs.front().get();
        if (!match) {
            result.error = u"找不到屏幕 %1 对应的合成器输出。"_s.arg(screen->name());
            return result;
        }
        // A canvas only where the selector's window will have the screen's
        // pixels: not at a fractional scale, which Qt 6.4 draws at the next
        // whole one (see makeSurfaceCanvas). The picture is then not copied
        // out of the canvas's memory either.
        const qreal ratio = screen->devicePixelRatio();
        const QSize canvasPixels = ratio == std::round(ratio) ? screen->geometry().size() * ratio : QSize();
        std::shared_ptr<CanvasMemory> canvas;
        QImage picture = copyOutput(*m_wl, match->output, &result.error, canvasPixels, &canvas);
        if (picture.isNull())
            return result;
        m_canvases.push_back(std::move(canvas));
        result.screens.push_back({ screen, screen->geometry(), picture, picture.size() });
    }
    return result;
}

std::unique_ptr<Canvas> ScreencopyGrab::canvas(QWindow *window, int screen)
{
    if (screen < 0 || std::size_t(screen) >= m_canvases.size())
        return nullptr;
    return makeSurfaceCanvas(window, std::exchange(m_canvases[std::size_t(screen)], nullptr));
}

} // namespace lumaro::capture
