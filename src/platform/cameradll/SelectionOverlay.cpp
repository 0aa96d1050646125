#include "SelectionOverlay.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

const QColor Dim(0, 0, 0, 110);
const QColor Edge(0, 150, 255);

const QString KeyHint = u"拖动选择区域，松开即完成 · Enter/双击 确认 · Esc/右键 取消 · "
                        u"方向键 移动（Shift 1 像素）· Ctrl+方向键 调整大小"_s;

} // namespace

SelectionOverlay::SelectionOverlay(const QPixmap &frozen, const QRect &geometry)
    : QWidget(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::BypassWindowManagerHint)
    , m_frozen(frozen)
    , m_scale(geometry.width() > 0 ? double(frozen.width()) / geometry.width() : 1.0)
    , m_selection(QRect(QPoint(0, 0), frozen.size()))
{
    setObjectName(u"SelectionOverlay"_s);
    setWindowTitle(u"截取屏幕"_s);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setCursor(Qt::CrossCursor);
    setFocusPolicy(Qt::StrongFocus);
    setGeometry(geometry);
}

QPoint SelectionOverlay::toImage(QPointF logical) const
{
    return { int(std::floor(logical.x() * m_scale)), int(std::floor(logical.y() * m_scale)) };
}

QRectF SelectionOverlay::toLogical(const QRect &r) const
{
    return { r.x() / m_scale, r.y() / m_scale, r.width() / m_scale, r.height() / m_scale };
}

QImage SelectionOverlay::selectedImage() const
{
    if (m_outcome != Outcome::Accepted || m_selection.isEmpty())
        return {};
    QImage image = m_frozen.copy(m_selection.rect()).toImage();
    image.setDevicePixelRatio(1.0);
    return image;
}

void SelectionOverlay::accept()
{
    if (m_outcome != Outcome::Pending)
        return;
    if (m_selection.isEmpty())
        m_selection.selectAll();
    m_outcome = Outcome::Accepted;
    emit finished(this);
}

void SelectionOverlay::cancel()
{
    if (m_outcome != Outcome::Pending)
        return;
    m_outcome = Outcome::Cancelled;
    emit finished(this);
}

void SelectionOverlay::clearSelection()
{
    m_selection = Selection(QRect(QPoint(0, 0), m_frozen.size()));
    update();
}

void SelectionOverlay::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QRectF all = rect();
    p.drawPixmap(all, m_frozen, QRectF(m_frozen.rect()));

    const bool has = !m_selection.isEmpty();
    const QRectF sel = has ? toLogical(m_selection.rect()) : QRectF();
    QPainterPath dim;
    dim.addRect(all);
    if (has)
        dim.addRect(sel);
    p.fillPath(dim, Dim); // odd-even fill leaves the selection clear

    const QFontMetrics fm(font());
    if (has) {
        p.setPen(QPen(Edge, 1));
        p.drawRect(sel.adjusted(-0.5, -0.5, 0.5, 0.5));
        const QRect px = m_selection.rect();
        const QString size = u"%1 × %2"_s.arg(px.width()).arg(px.height());
        QRectF box(0, 0, fm.horizontalAdvance(size) + 12, fm.height() + 6);
        QPointF at = sel.topLeft() - QPointF(0, box.height() + 4);
        if (at.y() < 0)
            at = sel.topLeft() + QPointF(4, 4);
        box.moveTopLeft(at);
        p.fillRect(box, QColor(0, 0, 0, 180));
        p.setPen(Qt::white);
        p.drawText(box, Qt::AlignCenter, size);
    }

    // The key hint, out of the way of the selection.
    const int hintW = std::min(width() - 20, fm.horizontalAdvance(KeyHint) + 24);
    QRectF hint((width() - hintW) / 2.0, 12, hintW, fm.height() + 12);
    if (has && hint.intersects(sel))
        hint.moveBottom(height() - 12);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 30, 30, 200));
    p.drawRoundedRect(hint, 6, 6);
    p.setPen(Qt::white);
    p.drawText(hint.adjusted(12, 0, -12, 0), Qt::AlignCenter, fm.elidedText(KeyHint, Qt::ElideRight, hintW - 24));
}

void SelectionOverlay::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton) {
        cancel();
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;
    emit selectionStarted(this);
    m_selection.press(toImage(event->position()));
    update();
}

void SelectionOverlay::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_selection.isDragging())
        return;
    m_selection.drag(toImage(event->position()));
    update();
}

void SelectionOverlay::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_selection.isDragging())
        return;
    m_selection.drag(toImage(event->position()));
    m_selection.finishDrag();
    accept();
}

void SelectionOverlay::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        accept();
}

void SelectionOverlay::keyPressEvent(QKeyEvent *event)
{
    const Qt::KeyboardModifiers mods = event->modifiers();
    const int step = (mods & Qt::ShiftModifier) ? 1 : 10;
    int dx = 0, dy = 0;
    switch (event->key()) {
    case Qt::Key_Escape:
        cancel();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        accept();
        return;
    case Qt::Key_Left: dx = -step; break;
    case Qt::Key_Right: dx = step; break;
    case Qt::Key_Up: dy = -step; break;
    case Qt::Key_Down: dy = step; break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    if (mods & (Qt::ControlModifier | Qt::AltModifier))
        m_selection.resize(dx, dy);
    else
        m_selection.move(dx, dy);
    update();
}
