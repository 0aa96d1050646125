#include "SelectorModel.h"

#include <QScreen>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace lumaro::capture {

QString colourName(QRgb pixel)
{
    return u"#%1%2%3"_s.arg(qRed(pixel), 2, 16, QChar(u'0'))
        .arg(qGreen(pixel), 2, 16, QChar(u'0'))
        .arg(qBlue(pixel), 2, 16, QChar(u'0'))
        .toUpper();
}

SelectorModel::SelectorModel(std::vector<FrozenScreen> screens, QObject *parent)
    : QObject(parent)
    , m_screens(std::move(screens))
{
    std::vector<Desktop::Place> layout;
    for (const FrozenScreen &s : m_screens)
        layout.push_back({ s.geometry, s.scale(), s.native, s.size(), s.ratio });
    m_desktop = Desktop(layout);
    m_selection = Selection(m_desktop.bounds());
    std::vector<QRect> areas;
    for (const Desktop::Screen &s : m_desktop.screens())
        areas.push_back(s.area);
    m_elements.setScreens(areas);
    m_snap = m_elements.edges();

    m_display.resize(m_screens.size());
    for (int i = 0; i < screenCount(); ++i)
        makeDisplay(i);
}

void SelectorModel::placeCursorLater(QPointF qtPosition, QWindow *over)
{
    m_cursor = qtPosition;
    m_cursorOver = over;
    m_cursorPlaced = false;
    m_walk.follow({});
}

void SelectorModel::makeDisplay(int i)
{
    // What the overlay paints: the frozen pixels at its screen's own density
    // (a portal's picture may come at another one).
    const FrozenScreen &s = m_screens[std::size_t(i)];
    if (s.image.isNull())
        return;
    const qreal dpr = s.screen ? s.screen->devicePixelRatio() : s.scale();
    const QSize size(int(std::lround(s.geometry.width() * dpr)), int(std::lround(s.geometry.height() * dpr)));
    m_display[std::size_t(i)] = s.image.size() == size || size.isEmpty()
                                    ? s.image
                                    : s.image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

void SelectorModel::setPicture(int screen, QImage picture)
{
    m_screens[std::size_t(screen)].image = std::move(picture);
    makeDisplay(screen);
    emit changed();
}

void SelectorModel::accept()
{
    if (m_outcome != Outcome::Pending || m_selection.isEmpty())
        return;
    m_outcome = Outcome::Accepted;
    emit finished();
}

void SelectorModel::cancel()
{
    if (m_outcome != Outcome::Pending)
        return;
    m_outcome = Outcome::Cancelled;
    m_selection.clear();
    emit finished();
}

QImage SelectorModel::selectedImage() const
{
    if (m_outcome != Outcome::Accepted)
        return {};
    std::vector<QImage> pictures;
    for (const FrozenScreen &s : m_screens)
        pictures.push_back(s.image);
    return m_desktop.compose(m_selection.rect(), pictures);
}

QRect SelectorModel::lit() const
{
    if (m_mode == Mode::Hovering)
        return m_walk.current();
    return m_selection.rect();
}

bool SelectorModel::litIsWholeScreen() const
{
    if (m_mode != Mode::Hovering)
        return false;
    const QRect r = lit();
    for (const Desktop::Screen &s : m_desktop.screens())
        if (s.area == r)
            return true;
    return false;
}

bool SelectorModel::edgesMoving() const
{
    if (m_outcome != Outcome::Pending)
        return false;
    return m_mode == Mode::Dragging || (m_mode == Mode::Adjusting && m_selection.adjusting() != Handle::None);
}

QPoint SelectorModel::aimedPixel() const
{
    QPoint p = m_desktop.cellAt(m_cursor).topLeft();
    if (edgesMoving()) {
        const Selection::Snapped &s = m_selection.snapped();
        p = QPoint(s.pixelX.value_or(p.x()), s.pixelY.value_or(p.y()));
    }
    return p;
}

std::vector<QLine> SelectorModel::guides() const
{
    std::vector<QLine> lines;
    if (!edgesMoving())
        return lines;
    const Selection::Snapped &s = m_selection.snapped();
    if (s.x)
        lines.emplace_back(s.x->at, s.x->from, s.x->at, s.x->to);
    if (s.y)
        lines.emplace_back(s.y->from, s.y->at, s.y->to, s.y->at);
    return lines;
}

std::optional<std::pair<int, QPoint>> SelectorModel::pixelUnderCursor() const
{
    const QPoint aimed = aimedPixel();
    const int i = m_desktop.screenAt(aimed);
    if (i < 0)
        return std::nullopt;
    const FrozenScreen &s = m_screens[std::size_t(i)];
    if (s.image.isNull())
        return std::nullopt;
    // Desktop pixels to this screen's device pixels (a cell of several
    // desktop pixels where the screen is coarser than the finest one).
    const Desktop::Screen &area = m_desktop.screens()[std::size_t(i)];
    const qreal perDevice = 1 / m_desktop.devicePerDesktop(i);
    const QPointF local = QPointF(aimed - area.area.topLeft()) + QPointF(0.5, 0.5);
    const QPoint px(std::clamp(int(std::floor(local.x() / perDevice)), 0, s.image.width() - 1),
                    std::clamp(int(std::floor(local.y() / perDevice)), 0, s.image.height() - 1));
    return std::make_pair(i, px);
}

QString SelectorModel::colourUnderCursor() const
{
    const auto under = pixelUnderCursor();
    return under ? colourName(m_screens[std::size_t(under->first)].image.pixel(under->second)) : QString();
}

QPoint SelectorModel::cursorPosition() const
{
    return aimedPixel() - m_desktop.bounds().topLeft();
}

QSize SelectorModel::outputSize(const QRect &desktop) const
{
    const qreal f = m_desktop.outputPerDesktop(desktop);
    return { int(std::lround(desktop.width() * f)), int(std::lround(desktop.height() * f)) };
}

void SelectorModel::hover(QPointF at)
{
    m_cursor = at;
    m_walk.follow(m_elements.chainAt(m_desktop.cellAt(at).topLeft()));
}

int SelectorModel::step(Qt::KeyboardModifiers modifiers) const
{
    // One device pixel of the screen the selection is on.
    const QRect r = m_selection.rect();
    const int screen = m_desktop.screenAt(r.center());
    const qreal ratio = screen < 0 ? 1.0 : 1 / m_desktop.devicePerDesktop(screen);
    const int one = std::max(1, int(std::lround(ratio)));
    return (modifiers & Qt::ShiftModifier) ? 10 * one : one;
}

void SelectorModel::restoreLastRegion()
{
    if (!m_lastRegion)
        return;
    const QRect r = m_desktop.fromLogical(*m_lastRegion);
    for (const Desktop::Screen &s : m_desktop.screens())
        if (s.area.intersects(r)) {
            m_selection.set(r);
            m_mode = Mode::Adjusting;
            m_pressed = false;
            return;
        }
}

QPointF SelectorModel::exact(QPointF at) const
{
    if (!m_findPixel || !m_desktop.native())
        return at;
    const std::optional<QPoint> pixel = m_findPixel(at);
    return pixel ? m_desktop.centreOf(*pixel) : at;
}

void SelectorModel::mousePress(QPointF at, Qt::MouseButton button, Qt::KeyboardModifiers modifiers)
{
    at = exact(at);
    Q_UNUSED(modifiers);
    m_cursor = at;
    m_cursorPlaced = true;
    if (button == Qt::RightButton) {
        if (m_mode == Mode::Adjusting) {
            // The best peers' way: the first right click drops the selection.
            m_selection.clear();
            m_mode = Mode::Hovering;
            hover(at);
            emit changed();
        } else {
            cancel();
        }
        return;
    }
    if (button != Qt::LeftButton)
        return;
    if (m_mode == Mode::Adjusting) {
        const QPointF p = m_desktop.toDesktop(at);
        const Handle h = m_selection.handleAt(p, HandleReach * m_desktop.scale());
        if (h != Handle::None) {
            m_selection.beginAdjust(h, QPoint(int(std::floor(p.x())), int(std::floor(p.y()))));
            emit changed();
            return;
        }
    }
    // A click or the start of a drag: the next moves tell.
    m_pressed = true;
    m_pressAt = at;
    m_pressCell = m_desktop.cellAt(at);
    m_pressFromAdjusting = m_mode == Mode::Adjusting;
    emit changed();
}

void SelectorModel::mouseMove(QPointF at, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers)
{
    at = exact(at);
    m_cursor = at;
    m_cursorPlaced = true;
    const SnapLines *snap = (modifiers & Qt::AltModifier) ? nullptr : &m_snap;
    const int reach = int(std::lround(SnapReach * m_desktop.scale()));
    if (m_mode == Mode::Adjusting && m_selection.adjusting() != Handle::None && (buttons & Qt::LeftButton)) {
        const QPointF p = m_desktop.toDesktop(at);
        m_selection.adjustTo(QPoint(int(std::floor(p.x())), int(std::floor(p.y()))), snap, reach);
        emit changed();
        return;
    }
    if (m_pressed && (buttons & Qt::LeftButton) && QLineF(at, m_pressAt).length() >= DragStart) {
        m_pressed = false;
        m_selection.beginDrag(m_pressCell);
        m_mode = Mode::Dragging;
        m_keepForAdjusting = false;
    }
    if (m_mode == Mode::Dragging)
        m_selection.dragTo(m_desktop.cellAt(at), snap, reach);
    else if (m_mode == Mode::Hovering)
        hover(at);
    emit changed();
}

void SelectorModel::mouseRelease(QPointF at, Qt::MouseButton button, Qt::KeyboardModifiers modifiers)
{
    at = exact(at);
    m_cursor = at;
    if (button != Qt::LeftButton)
        return;
    if (m_mode == Mode::Adjusting && m_selection.adjusting() != Handle::None) {
        m_selection.endAdjust();
        emit changed();
        return;
    }
    if (m_pressed) {
        m_pressed = false;
        if (!m_pressFromAdjusting) {
            // A click without a drag takes what is highlighted.
            hover(at);
            QRect r = m_walk.current();
            if (r.isEmpty())
                r = m_pressCell;
            m_selection.set(r);
            accept();
        }
        emit changed();
        return;
    }
    if (m_mode != Mode::Dragging)
        return;
    const SnapLines *snap = (modifiers & Qt::AltModifier) ? nullptr : &m_snap;
    m_selection.dragTo(m_desktop.cellAt(at), snap, int(std::lround(SnapReach * m_desktop.scale())));
    if ((modifiers & Qt::ControlModifier) || m_keepForAdjusting)
        m_mode = Mode::Adjusting;
    else
        accept();
    emit changed();
}

void SelectorModel::mouseDoubleClick(QPointF at, Qt::MouseButton button)
{
    at = exact(at);
    m_cursor = at;
    m_cursorPlaced = true;
    if (button != Qt::LeftButton || m_mode != Mode::Adjusting)
        return;
    if (m_selection.handleAt(m_desktop.toDesktop(at), 0) == Handle::Inside)
        accept();
}

void SelectorModel::wheel(int steps)
{
    if (m_mode != Mode::Hovering || steps == 0)
        return;
    steps > 0 ? m_walk.outward() : m_walk.inward();
    emit changed();
}

void SelectorModel::key(int key, Qt::KeyboardModifiers modifiers)
{
    modifiers &= ~Qt::KeypadModifier;
    int dx = 0, dy = 0;
    switch (key) {
    case Qt::Key_Escape:
        cancel();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (m_mode == Mode::Hovering) {
            QRect r = m_walk.current();
            if (r.isEmpty() && !m_cursorPlaced)
                return; // nothing shown to take yet
            if (r.isEmpty())
                r = m_desktop.cellAt(m_cursor);
            m_selection.set(r);
        }
        accept();
        return;
    case Qt::Key_Tab:
        if (m_mode == Mode::Hovering)
            (modifiers & Qt::ShiftModifier) ? m_walk.inward() : m_walk.outward();
        break;
    case Qt::Key_Backtab:
        if (m_mode == Mode::Hovering)
            m_walk.inward();
        break;
    case Qt::Key_Space:
        if (m_mode == Mode::Dragging)
            m_keepForAdjusting = true;
        break;
    case Qt::Key_Z:
        m_magnifier = !m_magnifier;
        break;
    case Qt::Key_C:
        // The colour goes to the clipboard; the selection goes on.
        if (m_cursorPlaced)
            emit colourPicked(colourUnderCursor());
        break;
    case Qt::Key_R:
        restoreLastRegion();
        break;
    case Qt::Key_Left: dx = -1; break;
    case Qt::Key_Right: dx = 1; break;
    case Qt::Key_Up: dy = -1; break;
    case Qt::Key_Down: dy = 1; break;
    default:
        return;
    }
    if (dx || dy) {
        if (m_mode == Mode::Adjusting) {
            const int s = step(modifiers);
            if (modifiers & Qt::ControlModifier)
                m_selection.moveBottomRight(dx * s, dy * s);
            else if (modifiers & Qt::AltModifier)
                m_selection.moveTopLeft(dx * s, dy * s);
            else
                m_selection.move(dx * s, dy * s);
        } else if (m_mode == Mode::Hovering) {
            // The pointer itself, a pixel of the screen at a time, for aiming
            // with the magnifier.
            const int s = (modifiers & Qt::ShiftModifier) ? 10 : 1;
            const QPoint to = m_desktop.cellAt(m_cursor).topLeft() + QPoint(dx * s, dy * s);
            if (m_desktop.native() && m_movePointer && m_desktop.screenAt(to) >= 0 && m_movePointer(to))
                hover(m_desktop.centreOf(to));
            else
                emit nudgePointer(QPoint(dx * s, dy * s));
        }
    }
    emit changed();
}

void SelectorModel::setScene(Scene scene)
{
    std::vector<QRect> areas;
    for (const Desktop::Screen &s : m_desktop.screens())
        areas.push_back(s.area);
    scene.elements.setScreens(areas);
    m_elements = std::move(scene.elements);
    m_snap = m_elements.edges();
    m_ownWindows = std::move(scene.ownWindows);
    if (!m_cursorPlaced && m_cursorOver)
        for (const WindowOnScreen &w : m_ownWindows)
            if (w.own && w.own == m_cursorOver) {
                m_cursor += w.ownOffset;
                m_cursorPlaced = true;
            }
    if (m_mode == Mode::Hovering && m_cursorPlaced)
        hover(m_cursor);
    emit changed();
}

} // namespace lumaro::capture
