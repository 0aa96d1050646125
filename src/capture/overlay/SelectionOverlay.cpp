#include "SelectionOverlay.h"

#include "Dim.h"
#include "Log.h"
#include "Magnifier.h"
#include "Session.h"
#include "Shade.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPaintEngine>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QWheelEvent>

#include <cmath>

using namespace Qt::StringLiterals;

namespace lumaro::capture {

namespace {

const QColor Accent(0, 150, 255);
const QColor Dim(0, 0, 0, DimAlpha);
constexpr int HandleSize = 8;

// Where the pointer is, in fractions of a logical pixel. Qt 6.4 hands a
// widget its position and the global one rounded to whole logical pixels,
// which at a scale of 2 never point at an odd device pixel (nor at every
// third at 1.5); the position in the window, which for the overlay is the
// widget, keeps the fractions.
QPointF pointerAt(const QWidget *w, const QMouseEvent *event) { return w->mapToGlobal(event->scenePosition()); }

// The eight handles around a selection, in logical pixels.
std::vector<QRectF> handlesOf(const QRectF &r)
{
    const qreal h = HandleSize;
    const qreal xs[] = { r.left(), r.center().x(), r.right() };
    const qreal ys[] = { r.top(), r.center().y(), r.bottom() };
    std::vector<QRectF> handles;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            if (i != 1 || j != 1)
                handles.emplace_back(xs[i] - h / 2, ys[j] - h / 2, h, h);
    return handles;
}

// The rectangles of a region, those near each other joined where that
// covers not much more than they do: one piece for a read-out that the
// selection's rim cuts into several rectangles, not one for each.
std::vector<QRect> coalesced(const QRegion &region)
{
    std::vector<QRect> rects(region.begin(), region.end());
    const auto area = [](const QRect &r) { return qint64(r.width()) * r.height(); };
    for (bool joined = true; joined;) {
        joined = false;
        for (std::size_t i = 0; i < rects.size() && !joined; ++i)
            for (std::size_t j = i + 1; j < rects.size() && !joined; ++j) {
                const QRect both = rects[i] | rects[j];
                if (area(both) <= (area(rects[i]) + area(rects[j])) * 3 / 2 + 4096) {
                    rects[i] = both;
                    rects.erase(rects.begin() + qsizetype(j));
                    joined = true;
                }
            }
    }
    return rects;
}

} // namespace

SelectionOverlay::SelectionOverlay(const SelectorModel &selector, int screen)
    : QWidget(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint
                           | (onWayland() ? Qt::WindowFlags() : Qt::BypassWindowManagerHint))
    , m_selector(selector)
    , m_screen(screen)
{
    setObjectName(u"SelectionOverlay"_s);
    setWindowTitle(u"截取屏幕"_s);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    setCursor(Qt::CrossCursor);
    setFocusPolicy(Qt::StrongFocus);
    setGeometry(selector.screen(screen).geometry);
}

void SelectionOverlay::present()
{
    if (!onWayland())
        renderGlyphsAhead();
    QScreen *screen = m_selector.screen(m_screen).screen;
    if (onWayland()) {
        // A Wayland client cannot place its windows: full screen on the
        // right screen is the way to cover it.
        if (screen)
            setScreen(screen);
        showFullScreen();
    } else {
        setGeometry(m_selector.screen(m_screen).geometry);
        show();
    }
    raise();
    m_shown = true;
    m_painted = layout();
}

void SelectionOverlay::renderGlyphsAhead()
{
    // What the first frame draws over the screen, drawn once now, with
    // nothing under it, while the window system reads the screen: its text
    // is most of that frame's own work, and the font keeps the glyphs.
    const Layout l = layout();
    const qreal k = m_canvas ? m_canvas->image().devicePixelRatio() : devicePixelRatioF();
    for (const QRect &r : coalesced(marksOf(l))) {
        QImage scratch(r.size() * k, QImage::Format_RGB32);
        if (scratch.isNull())
            continue;
        scratch.setDevicePixelRatio(k);
        QPainter p(&scratch);
        p.translate(-r.topLeft());
        paintMarks(p, l, r);
    }
}

void SelectionOverlay::setCanvas(std::unique_ptr<Canvas> canvas)
{
    m_canvas = std::move(canvas);
    setAttribute(Qt::WA_PaintOnScreen, m_canvas != nullptr);
}

QPaintEngine *SelectionOverlay::paintEngine() const
{
    return m_canvas ? nullptr : QWidget::paintEngine();
}

void SelectionOverlay::dismiss()
{
    if (!m_shown)
        return;
    releaseKeyboard();
    hide();
    m_shown = false;
}

QRectF SelectionOverlay::toLocal(const QRect &desktop) const
{
    const Desktop::Screen &s = m_selector.desktop().screens()[std::size_t(m_screen)];
    const qreal k = s.perLogical;
    return { (desktop.x() - s.area.x()) / k, (desktop.y() - s.area.y()) / k, desktop.width() / k, desktop.height() / k };
}

QString SelectionOverlay::labelText() const
{
    const QRect lit = m_selector.lit();
    const QSize size = m_selector.outputSize(lit);
    const QPoint at = lit.topLeft() - m_selector.desktop().bounds().topLeft();
    return u"%1 × %2 · 位置 %3, %4"_s.arg(size.width()).arg(size.height()).arg(at.x()).arg(at.y());
}

QString SelectionOverlay::hintFor(SelectorModel::Mode mode)
{
    switch (mode) {
    case SelectorModel::Mode::Hovering:
        return u"单击：截取高亮部分 · 拖动：框选 · Tab/滚轮：放大或缩小范围 · R：上次区域 · Z：放大镜 · C：取色 · Esc：取消"_s;
    case SelectorModel::Mode::Dragging:
        return u"松开：完成 · 按住 Ctrl 松开或按空格：继续调整 · 按住 Alt：不吸附"_s;
    case SelectorModel::Mode::Adjusting:
        return u"拖动：调整 · 方向键：移动 · Ctrl/Alt+方向键：右下角/左上角 · Enter/双击：完成 · 右键：重选 · Esc：取消"_s;
    }
    return {};
}

SelectionOverlay::Layout SelectionOverlay::layout() const
{
    Layout l;
    const QRect all = rect();
    const QRect area = m_selector.desktop().screens()[std::size_t(m_screen)].area;
    const QRect lit = m_selector.lit();
    if (!lit.isEmpty() && lit.intersects(area)) {
        l.lit = toLocal(lit);
        // A whole screen highlighted stays dark, with only its outline: it
        // would otherwise look as if nothing had happened.
        if (!m_selector.litIsWholeScreen())
            l.bright = l.lit;
    }

    // The read-out goes with the corner the selection starts at, on one
    // screen only, above the selection or inside it where there is no room.
    const bool owner = area.contains(lit.topLeft())
                       || (m_selector.desktop().screenAt(lit.topLeft()) < 0 && area.contains(lit.center()));
    if (!l.lit.isEmpty() && owner) {
        const QFontMetrics fm(font());
        const QSize size(fm.horizontalAdvance(labelText()) + 12, fm.height() + 6);
        QPoint at = l.lit.topLeft().toPoint() - QPoint(0, size.height() + 4);
        if (at.y() < all.top())
            at = l.lit.topLeft().toPoint() + QPoint(4, 4);
        at.rx() = std::clamp(at.x(), all.left(), std::max(all.left(), all.right() + 1 - size.width()));
        at.ry() = std::clamp(at.y(), all.top(), std::max(all.top(), all.bottom() + 1 - size.height()));
        l.label = QRect(at, size);
    }

    // Snapped edges, each along the element edge it took, where this screen shows it.
    for (const QLine &g : m_selector.guides()) {
        const QRectF line = toLocal(QRect(g.p1(), QSize(g.dx(), g.dy())));
        const QLineF local(line.topLeft(), g.dx() == 0 ? line.bottomLeft() : line.topRight());
        if (QRectF(all).adjusted(-1, -1, 1, 1).intersects(line.adjusted(-1, -1, 1, 1)))
            l.guides.push_back(local);
    }

    const QPointF cursor = m_selector.cursor() - QPointF(m_selector.screen(m_screen).geometry.topLeft());
    const bool cursorHere = m_selector.cursorPlaced() && all.contains(cursor.toPoint());
    if (m_selector.magnifierShown() && cursorHere)
        l.magnifier = magnifier::place(cursor.toPoint(), all);

    // Measured in fractions of a pixel: the whole-pixel advance is rounded
    // down, and a box made from it would cut the hint's last word off.
    const QFontMetricsF fm(font());
    const QString hint = hintFor(m_selector.mode());
    const int textWidth = int(std::ceil(fm.horizontalAdvance(hint)));
    const int hintWidth = std::min(width() - 20, textWidth + 24);
    l.hint = QRect((width() - hintWidth) / 2, 12, hintWidth, int(std::ceil(fm.height())) + 12);
    l.hintText = hintWidth - 24 >= textWidth ? hint : fm.elidedText(hint, Qt::ElideRight, hintWidth - 24);
    l.hintFaded = cursorHere && l.hint.adjusted(-60, -40, 60, 40).contains(cursor.toPoint());
    return l;
}

QRegion SelectionOverlay::marksOf(const Layout &l)
{
    // The rims with the outline and handles of the selection, and the small
    // things drawn over the screen.
    QRegion marks;
    if (!l.lit.isEmpty()) {
        constexpr int margin = HandleSize + 2;
        const QRect r = l.lit.toAlignedRect();
        marks += QRegion(r.adjusted(-margin, -margin, margin, margin))
                 - QRegion(r.adjusted(margin, margin, -margin, -margin));
    }
    marks += l.label.adjusted(-1, -1, 1, 1);
    marks += l.magnifier.adjusted(-1, -1, 1, 1);
    marks += l.hint.adjusted(-1, -1, 1, 1);
    for (const QLineF &g : l.guides)
        marks += QRectF(g.p1(), g.p2()).normalized().toAlignedRect().adjusted(-2, -2, 2, 2);
    return marks;
}

void SelectionOverlay::refresh()
{
    if (!m_shown)
        return;
    const Layout now = layout();
    // What a change touches: where the bright part came or went, and what
    // was and is drawn over the screen.
    QRegion region = QRegion(m_painted.bright.toAlignedRect()).xored(QRegion(now.bright.toAlignedRect()));
    region += marksOf(m_painted) + marksOf(now);
    m_painted = now;
    m_canvasCurrent = false;
    m_changed += region;
    update(region);
    updateCursorShape();
}

void SelectionOverlay::paintEvent(QPaintEvent *event)
{
    const QImage &display = m_selector.display(m_screen);
    if (display.isNull())
        return; // the picture is still on its way (GrabBackend::fetch)
    const bool whole = QRegion(rect()).subtracted(event->region()).isEmpty();
    if (m_canvas && m_canvas->showsFrozen()) {
        paintOverFrozen(event->region(), display);
        painted(whole);
        return;
    }
    if (m_canvas && whole && m_canvasCurrent && m_paintedSize == size()) {
        // Qt asks for the whole window twice as it shows, for the show and
        // for the expose: the canvas holds that frame already.
        const QImage &image = m_canvas->image();
        m_canvas->put(QRegion(0, 0, image.width(), image.height()));
        return;
    }
    QPainter p;
    if (m_canvas) {
        p.begin(&m_canvas->image());
        p.setClipRegion(event->region()); // as Qt clips a paint of its own
    } else {
        p.begin(this);
    }
    const Layout l = layout();
    const qreal sx = width() > 0 ? qreal(display.width()) / width() : 1.0;
    const qreal sy = height() > 0 ? qreal(display.height()) / height() : 1.0;
    auto source = [sx, sy](const QRectF &r) { return QRectF(r.x() * sx, r.y() * sy, r.width() * sx, r.height() * sy); };

    // The frozen screen, darker where nothing is selected. Dimmed as it is
    // painted: a darker copy made beforehand would cost more than it saves,
    // most of it in touching fresh memory before the first frame. In one
    // pass where the picture's pixels are the buffer's, else by QPainter.
    const QRegion exposed = event->region() & rect();
    const QRegion bright = exposed & l.bright.toAlignedRect();
    const QRegion dark = exposed - bright;
    if (!paintFrozen(p, display, dark, bright)) {
        const QRect all = exposed.boundingRect();
        p.drawImage(QRectF(all), display, source(QRectF(all)));
        for (const QRect &r : dark)
            p.fillRect(r, Dim);
    }
    paintMarks(p, l, rect());
    p.end();
    if (m_canvas) {
        const qreal k = m_canvas->image().devicePixelRatio();
        QRegion pixels;
        for (const QRect &r : event->region())
            pixels += QRectF(r.x() * k, r.y() * k, r.width() * k, r.height() * k).toAlignedRect();
        m_canvas->put(pixels);
    }
    painted(whole);
}

void SelectionOverlay::paintOverFrozen(const QRegion &region, const QImage &display)
{
    // The window system shows the frozen screen itself, darkened where
    // nothing is selected. The program paints, piece by piece, what lies
    // over it now, and where the frame on the screen is dark and stays
    // dark: darkened afresh by the window system, that would show bright
    // for a moment. A paint of the whole window with nothing of it on the
    // screen (the first, or after the window system lost it all) is the
    // window system's but for what lies over the screen.
    const Layout l = layout();
    QRegion exposed = region & rect();
    // Nothing lost since the last put: only what changed is painted, even
    // where Qt asks for more (the whole window as it shows, with a change
    // that came before that paint merged into it).
    const bool intact = m_canvas->stillShown();
    if (intact)
        exposed &= m_changed;
    m_changed = QRegion();
    const QRegion marks = marksOf(l);
    const QRect bright = l.bright.toAlignedRect();
    QRegion pieces = exposed & marks;
    if (intact || exposed != QRegion(rect()))
        pieces += exposed - bright - m_brightShown;
    const QRegion frozen = exposed - pieces;
    const qreal k = m_canvas->image().devicePixelRatio();
    const auto toPixels = [k](const QRegion &r) {
        QRegion pixels;
        for (const QRect &x : r)
            pixels += QRectF(x.x() * k, x.y() * k, x.width() * k, x.height() * k).toAlignedRect();
        return pixels;
    };
    m_canvas->putFrozen(toPixels(frozen), toPixels(frozen - bright), Dim.alpha());

    const qreal sx = width() > 0 ? qreal(display.width()) / width() : 1.0;
    const qreal sy = height() > 0 ? qreal(display.height()) / height() : 1.0;
    const QRect windowPixels = toPixels(rect()).boundingRect();
    for (const QRect &put : coalesced(toPixels(pieces))) {
        // Painted with a margin: lines cut off at the piece's own edge end
        // on other pixels than the same lines drawn whole.
        constexpr int margin = 8;
        const QRect r = put.adjusted(-margin, -margin, margin, margin) & windowPixels;
        // Every piece of every frame in the same memory, kept while the
        // window lives, not a fresh allocation for each.
        if (m_pieceMemory.width() < r.width() || m_pieceMemory.height() < r.height())
            m_pieceMemory = QImage(std::max(m_pieceMemory.width(), r.width()),
                                   std::max(m_pieceMemory.height(), r.height()), QImage::Format_RGB32);
        if (m_pieceMemory.isNull())
            continue;
        const qsizetype line = m_pieceMemory.bytesPerLine();
        QImage piece(m_pieceMemory.bits(), r.width(), r.height(), line, QImage::Format_RGB32);
        piece.setDevicePixelRatio(k);
        QPainter p(&piece);
        // Device pixel (0,0) of the piece is the window's pixel r.topLeft().
        p.translate(-r.x() / k, -r.y() / k);
        const QRectF within(r.x() / k, r.y() / k, r.width() / k, r.height() / k);
        const QRegion all(within.toAlignedRect());
        if (!paintFrozen(p, display, all - bright, all & bright)) {
            p.drawImage(within, display, QRectF(within.x() * sx, within.y() * sy, within.width() * sx, within.height() * sy));
            for (const QRect &d : all - bright)
                p.fillRect(d, Dim);
        }
        paintMarks(p, l, within);
        p.end();
        const QPoint at = put.topLeft() - r.topLeft();
        m_canvas->putPiece(QImage(piece.constBits() + at.y() * line + at.x() * 4, put.width(), put.height(), line,
                                  QImage::Format_RGB32),
                           put.topLeft());
    }
    m_brightShown = (m_brightShown - exposed) + (exposed & bright);
}

void SelectionOverlay::paintMarks(QPainter &p, const Layout &l, const QRectF &within)
{
    // Only what reaches `within`, in the order they lie over each other.
    constexpr int margin = HandleSize + 2;
    if (!l.lit.isEmpty() && l.lit.adjusted(-margin, -margin, margin, margin).intersects(within)) {
        // A dark and a light line, so the edge shows on any picture.
        const QRectF edge = l.lit.adjusted(0.5, 0.5, -0.5, -0.5);
        p.setPen(QPen(QColor(0, 0, 0, 170), 1));
        p.drawRect(edge.adjusted(-1, -1, 1, 1));
        p.setPen(QPen(Accent, 1));
        p.drawRect(edge);
        if (m_selector.mode() == SelectorModel::Mode::Adjusting) {
            for (const QRectF &h : handlesOf(l.lit)) {
                p.fillRect(h, Accent);
                p.setPen(QPen(Qt::black, 1));
                p.drawRect(h.adjusted(-0.5, -0.5, 0.5, 0.5));
                p.setPen(QPen(Qt::white, 1));
                p.drawRect(h.adjusted(0.5, 0.5, -0.5, -0.5));
            }
        }
    }

    // A guide along each element edge that the selection snapped to.
    for (const QLineF &g : l.guides) {
        if (!QRectF(g.p1(), g.p2()).normalized().adjusted(-2, -2, 2, 2).intersects(within))
            continue;
        const bool vertical = g.dx() == 0;
        const QLineF line = g.translated(vertical ? QPointF(-0.5, 0) : QPointF(0, -0.5));
        p.setPen(QPen(QColor(0, 0, 0, 170), 3));
        p.drawLine(line);
        // Dashes of 4 pixels, 2 apart, one by one along the middle of that:
        // a dashed pen begins its pattern afresh where the line is cut off
        // at the edge of what is painted.
        const QPointF from(std::min(g.x1(), g.x2()), std::min(g.y1(), g.y2()));
        const qreal length = vertical ? std::abs(g.dy()) : std::abs(g.dx());
        for (qreal at = 0; at < length; at += 6) {
            const qreal n = std::min<qreal>(4, length - at);
            const QRectF dash = vertical ? QRectF(from.x() - 1, from.y() + at, 1, n) : QRectF(from.x() + at, from.y() - 1, n, 1);
            if (dash.intersects(within))
                p.fillRect(dash, QColor(255, 200, 0));
        }
    }

    if (!l.label.isEmpty() && QRectF(l.label).intersects(within)) {
        const QString text = labelText();
        p.fillRect(l.label, QColor(0, 0, 0, 190));
        p.setPen(Qt::white);
        p.drawText(l.label, Qt::AlignCenter, text);
        if (text != m_labelLogged) {
            m_labelLogged = text;
            qCDebug(lcCapture, "selector: read-out %s", qUtf8Printable(text));
        }
    }

    // The key hint, faint while the pointer is near it.
    if (QRectF(l.hint).intersects(within)) {
        p.save();
        p.setOpacity(l.hintFaded ? 0.25 : 1.0);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(30, 30, 30, 200));
        p.drawRoundedRect(l.hint, 6, 6);
        p.setPen(Qt::white);
        p.drawText(l.hint.adjusted(12, 0, -12, 0), Qt::AlignCenter, l.hintText);
        p.restore();
    }

    if (!l.magnifier.isEmpty() && QRectF(l.magnifier).intersects(within)) {
        if (const auto under = m_selector.pixelUnderCursor(); under && under->first == m_screen)
            magnifier::paint(p, l.magnifier, m_selector.screen(m_screen).image, under->second,
                             m_selector.cursorPosition());
    }
}

void SelectionOverlay::painted(bool whole)
{
    if (whole) {
        m_paintedSize = size();
        m_canvasCurrent = m_canvas != nullptr;
    }

    // The windows under the selector are looked for once its frame is out.
    // Under Wayland the first frame often comes before the compositor has
    // made the window full screen (see changeEvent): the search waits for
    // that, or for half a second where it never comes.
    if (!onWayland() || (windowHandle() && windowHandle()->windowStates() & Qt::WindowFullScreen))
        onScreen();
    if (m_firstPaint) {
        m_firstPaint = false;
        if (!m_onScreen)
            QTimer::singleShot(500, this, &SelectionOverlay::shown);
        // The keyboard can be taken only once the window is on the screen.
        const QPointF cursor = m_selector.cursor();
        const int cursorScreen = m_selector.desktop().screenAtLogical(cursor);
        if (cursorScreen == m_screen || (cursorScreen < 0 && m_screen == 0)) {
            QTimer::singleShot(0, this, [this] {
                activateWindow();
                setFocus();
                if (!onWayland())
                    grabKeyboard();
            });
        }
    }
}

bool SelectionOverlay::paintFrozen(QPainter &p, const QImage &display, const QRegion &dark, const QRegion &bright)
{
    // Straight into the window's buffer, where the picture's pixels are the
    // buffer's pixels: the same scale, whole pixels, nothing but a shift.
    QPaintDevice *device = p.paintEngine() ? p.paintEngine()->paintDevice() : nullptr;
    if (!device || device->devType() != QInternal::Image)
        return false;
    auto *buffer = static_cast<QImage *>(device);
    const QTransform t = p.deviceTransform();
    if (t.type() > QTransform::TxScale || width() <= 0 || height() <= 0)
        return false;
    const qreal sx = qreal(display.width()) / width(), sy = qreal(display.height()) / height();
    if (t.m11() != sx || t.m22() != sy || t.dx() != std::round(t.dx()) || t.dy() != std::round(t.dy()))
        return false;
    // Every rectangle must land on whole device pixels (a fractional scale
    // may not), or the copy would reach past the rectangles it was given.
    bool whole = true;
    const auto toDevice = [&t, &whole](const QRegion &r) {
        QRegion out;
        for (const QRect &rect : r) {
            const QRectF mapped = t.mapRect(QRectF(rect));
            whole = whole && QRectF(mapped.toAlignedRect()) == mapped;
            out += mapped.toAlignedRect();
        }
        return out;
    };
    const QRegion darkPixels = toDevice(dark), brightPixels = toDevice(bright);
    if (!whole)
        return false;
    // Device pixel (0,0) of the buffer shows the picture's pixel at -shift.
    const QPoint shift(-int(t.dx()), -int(t.dy()));
    return shade::copy(*buffer, darkPixels, brightPixels, display, shift, Dim.alpha());
}

void SelectionOverlay::onScreen()
{
    if (m_onScreen)
        return;
    m_onScreen = true;
    qCDebug(lcCapture, "selector: painted as shown, on screen %d", m_screen);
    emit shown();
}

void SelectionOverlay::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    // A compositor that makes a window full screen only once it is mapped
    // (sway) takes the change as done when the window next commits. The
    // frame already painted is the full-screen one when the size stayed the
    // same, and painting it again would cost a fresh full-screen buffer
    // while the compositor holds the first. Where the size did change, the
    // repaint that follows is the commit. Looked at once the change's
    // resize, which comes after it, has been delivered.
    if (event->type() == QEvent::WindowStateChange && onWayland() && (windowState() & Qt::WindowFullScreen)
        && !m_onScreen)
        QMetaObject::invokeMethod(this, &SelectionOverlay::fullScreenAsPainted, Qt::QueuedConnection);
}

void SelectionOverlay::fullScreenAsPainted()
{
    if (m_onScreen || !m_shown || m_paintedSize != size() || !windowHandle())
        return;
    // Qt commits the surface when its input region changes, and commits
    // nothing for a frame it has already sent: the region of the whole
    // window, the same input as none, makes that commit.
    windowHandle()->setMask(QRegion(rect()));
    onScreen();
}

void SelectionOverlay::updateCursorShape()
{
    Qt::CursorShape shape = Qt::CrossCursor;
    if (m_selector.mode() == SelectorModel::Mode::Adjusting) {
        const Desktop &d = m_selector.desktop();
        const Handle h = m_selector.selection().adjusting() != Handle::None
                             ? m_selector.selection().adjusting()
                             : m_selector.selection().handleAt(d.toDesktop(m_selector.cursor()),
                                                               SelectorModel::HandleReach * d.scale());
        switch (h) {
        case Handle::Inside: shape = Qt::SizeAllCursor; break;
        case Handle::Left:
        case Handle::Right: shape = Qt::SizeHorCursor; break;
        case Handle::Top:
        case Handle::Bottom: shape = Qt::SizeVerCursor; break;
        case Handle::TopLeft:
        case Handle::BottomRight: shape = Qt::SizeFDiagCursor; break;
        case Handle::TopRight:
        case Handle::BottomLeft: shape = Qt::SizeBDiagCursor; break;
        case Handle::None: break;
        }
    }
    if (cursor().shape() != shape)
        setCursor(shape);
}

void SelectionOverlay::mousePressEvent(QMouseEvent *event)
{
    emit pressed(pointerAt(this, event), event->button(), event->modifiers());
}

void SelectionOverlay::mouseMoveEvent(QMouseEvent *event)
{
    emit moved(pointerAt(this, event), event->buttons(), event->modifiers());
}

void SelectionOverlay::mouseReleaseEvent(QMouseEvent *event)
{
    emit released(pointerAt(this, event), event->button(), event->modifiers());
}

void SelectionOverlay::mouseDoubleClickEvent(QMouseEvent *event)
{
    emit doubleClicked(pointerAt(this, event), event->button());
}

void SelectionOverlay::wheelEvent(QWheelEvent *event)
{
    // Whole steps of a wheel, however finely a touchpad sends them.
    m_wheel += event->angleDelta().y();
    while (std::abs(m_wheel) >= 120) {
        emit wheeled(m_wheel > 0 ? 1 : -1);
        m_wheel -= m_wheel > 0 ? 120 : -120;
    }
}

void SelectionOverlay::keyPressEvent(QKeyEvent *event)
{
    emit keyPressed(event->key(), event->modifiers());
}

} // namespace lumaro::capture
