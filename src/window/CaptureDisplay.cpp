#include "window/CaptureDisplay.h"

#include "window/Twips.h"

#include <QEvent>
#include <QPainter>

#include <cmath>

namespace lumaro {

namespace {

// The classic sunken picture box border, two pixels at 96 dpi.
constexpr int BorderWidth = 2;

// The border in the screen's pixels: never thinner than one, and whole, so
// that it meets the capture without a gap.
int borderPixels(qreal ratio)
{
    return std::max(1, int(std::lround(BorderWidth * ratio)));
}

} // namespace

CaptureDisplay::CaptureDisplay(QWidget *parent)
    : QFrame(parent)
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(BorderWidth);
    setFocusPolicy(Qt::StrongFocus);
}

void CaptureDisplay::setAutoSize(bool on)
{
    m_autoSize = on;
    fitToCapture();
}

void CaptureDisplay::setCapture(const QImage &image)
{
    m_image = image;
    fitToCapture();
    update();
}

void CaptureDisplay::fitToCapture()
{
    // The picture's size plus the border, from the box's unchanged corner,
    // in the screen's pixels; the box covers them whole.
    if (!m_autoSize || m_image.isNull())
        return;
    const qreal ratio = devicePixelRatioF();
    const int border = 2 * borderPixels(ratio);
    twips::setWidth(this, float(twips::covering(m_image.width() + border, ratio)));
    twips::setHeight(this, float(twips::covering(m_image.height() + border, ratio)));
}

bool CaptureDisplay::event(QEvent *event)
{
    // Moved to a screen of another scale: the same pixels take another size.
    if (event->type() == QEvent::ScreenChangeInternal)
        fitToCapture();
    return QFrame::event(event);
}

void CaptureDisplay::paintEvent(QPaintEvent *event)
{
    if (m_image.isNull()) {
        QFrame::paintEvent(event);
        return;
    }
    QPainter p(this);
    // Painted in the screen's own pixels: the box starts at the pixel its
    // corner falls on, and everything in it is whole pixels from there.
    const QTransform toDevice = p.deviceTransform();
    const qreal ratio = toDevice.m11();
    const QPoint corner = toDevice.map(QPointF(0, 0)).toPoint();
    const int border = borderPixels(ratio);
    const QRect box(corner, m_image.size() + QSize(2 * border, 2 * border));
    p.setWorldTransform(toDevice.inverted());
    p.setClipRect(toDevice.mapRect(QRectF(rect())).toAlignedRect() & box);
    // Sunken: dark above and to the left, light below and to the right,
    // meeting on the diagonals. The light side goes under all of it, so no
    // pixel of the border is left unpainted where the sides meet.
    p.fillRect(box, palette().light());
    const QPolygon dark{ box.topLeft(), QPoint(box.right() + 1, box.top()),
                         QPoint(box.right() + 1 - border, box.top() + border),
                         QPoint(box.left() + border, box.top() + border),
                         QPoint(box.left() + border, box.bottom() + 1 - border), QPoint(box.left(), box.bottom() + 1) };
    p.setPen(Qt::NoPen);
    p.setBrush(palette().dark());
    p.drawPolygon(dark);
    p.setClipRect(box.adjusted(border, border, -border, -border), Qt::IntersectClip);
    p.drawImage(box.topLeft() + QPoint(border, border), m_image);
}

} // namespace lumaro
