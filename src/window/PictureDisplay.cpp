#include "window/PictureDisplay.h"

#include "window/Twips.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

namespace lumaro {

PictureDisplay::PictureDisplay(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureDisplay::setPicture(LoadedPicture picture)
{
    m_picture = std::move(picture);
    m_sharper.reset();
    m_cache.clear();
    update();
}

void PictureDisplay::paintEvent(QPaintEvent *event)
{
    QPainter p(this);
    if (m_picture.isNull() || width() <= 0 || height() <= 0) {
        p.fillRect(event->rect(), palette().window());
        return;
    }
    const qreal dpr = devicePixelRatioF();
    const QSize full(qRound(width() * dpr), qRound(height() * dpr));
    m_sharper.requestIfNeeded(m_picture, full, this, [this](QImage sharper) {
        const QSize have = m_picture.image.size();
        if (sharper.isNull() || sharper.width() < have.width() || sharper.height() < have.height())
            return;
        m_picture.image = std::move(sharper);
        m_cache.clear();
        update();
    });
    m_cache.paint(p, m_picture.image, full, dpr, event->rect() & rect(), visibleRegion().boundingRect());
}

void PictureDisplay::mousePressEvent(QMouseEvent *event)
{
    short button = 0;
    if (event->button() == Qt::LeftButton)
        button = 1;
    else if (event->button() == Qt::RightButton)
        button = 2;
    else if (event->button() == Qt::MiddleButton)
        button = 4;
    short shift = 0;
    const Qt::KeyboardModifiers mods = event->modifiers();
    if (mods & Qt::ShiftModifier)
        shift |= 1;
    if (mods & Qt::ControlModifier)
        shift |= 2;
    if (mods & Qt::AltModifier)
        shift |= 4;
    const QPointF pos = event->position();
    emit mouseDown(button, shift, float(pos.x() * twips::PerPixel), float(pos.y() * twips::PerPixel));
    event->accept();
}

} // namespace lumaro
