#include "window/CaptureDisplay.h"

#include "window/Twips.h"

#include <QPainter>

namespace lumaro {

CaptureDisplay::CaptureDisplay(QWidget *parent)
    : QFrame(parent)
{
    // The classic sunken two-pixel picture box border.
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(2);
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
    // The picture's size plus the border, from the box's unchanged corner.
    if (!m_autoSize || m_image.isNull())
        return;
    const QSize s = m_image.deviceIndependentSize().toSize() + QSize(2 * frameWidth(), 2 * frameWidth());
    twips::setWidth(this, float(twips::fromPixels(s.width())));
    twips::setHeight(this, float(twips::fromPixels(s.height())));
}

void CaptureDisplay::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);
    if (m_image.isNull())
        return;
    QPainter p(this);
    p.setClipRect(contentsRect());
    p.drawImage(contentsRect().topLeft(), m_image);
}

} // namespace lumaro
